// The device-information answer: 22 fields, the hex reader, the cut offsets.

#include "ServerRun.hpp"
#include "server/FieldAnswer.hpp"
#include "server/WebServer_GetDeviceInfo.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(fuzzing::asText(data, size));
    fuzzing::ServerRun run;
    run.client->answer("/qvt_products/info/KW", body);
    const bool ok = WebServer_GetDeviceInfo(run.access()).getDeviceInfo(run.record);
    const auto fields = server::FieldAnswer::decode(
        {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    if (ok) {
        FUZZ_CHECK(fields.size() >= WebServer_GetDeviceInfo::kFieldCount);
        FUZZ_CHECK(run.record.ErrorMessage() == ConnectedTargetInfo().ErrorMessage());
        FUZZ_CHECK(run.record.Info_GPS_Binary_Cut_StartAddress() ==
                   run.record.Info_GPS_App_StartAddress() - 0x08000000U);
        FUZZ_CHECK(run.record.Info_RD_Binary_Cut_EndAddress() ==
                   run.record.Info_RD_App_EndAddress() - 0x08000000U);
        FUZZ_CHECK(run.record.UpdateType() <= 4U);
        FUZZ_CHECK(run.record.ConnectedDevice_Enable_GPS_Firmware() ==
                   (WebServer_GetDeviceInfo::StringToBool(*fields.field(3)) ? 1U : 0U));
    } else {
        FUZZ_CHECK(fuzzing::isFailureText(run.record.ErrorMessage(), 301));
    }
    // Every field through the hex reader: only a text under two characters has no value.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = *fields.field(i);
        const auto hex = WebServer_GetDeviceInfo::StringToHex(f);
        std::size_t characters = 0;
        for (const char c : f) {
            characters += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
        }
        FUZZ_CHECK(hex.has_value() == (characters >= 2));
    }
    return 0;
}

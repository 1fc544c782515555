// The firmware list: enabled images are read by position, their addresses and bodies stored.

#include "ServerRun.hpp"
#include "server/FieldAnswer.hpp"
#include "server/WebServer_GetFirmware.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::string body(in.rest());
    fuzzing::ServerRun run;
    run.client->answer("/qvt_products_firmware/info/KW", body);
    run.client->echoOtherAddresses(true);
    auto& r = run.record;
    r.setConnectedDevice_Enable_RD_Firmware(flags & 1U);
    r.setConnectedDevice_Enable_GPS_Firmware((flags >> 1U) & 1U);
    r.setConnectedDevice_Enable_AUDIO_Firmware((flags >> 2U) & 1U);
    r.setConnectedDevice_Enable_IMAGE_Firmware((flags >> 3U) & 1U);
    const bool ok = WebServer_GetFirmware(run.access()).getFirmware(r);

    const auto fields = server::FieldAnswer::decode(
        {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    bool expected = true;
    std::string (ConnectedTargetInfo::*address[])()
        const = {&ConnectedTargetInfo::Download_Firmware_RD_wAdd,
                 &ConnectedTargetInfo::Download_Firmware_GPS_wAdd,
                 &ConnectedTargetInfo::Download_Firmware_AUDIO_wAdd,
                 &ConnectedTargetInfo::Download_Firmware_IMAGE_wAdd};
    SharedBytes (ConnectedTargetInfo::*image[])() const = {
        &ConnectedTargetInfo::Download_Firmware_RD, &ConnectedTargetInfo::Download_Firmware_GPS,
        &ConnectedTargetInfo::Download_Firmware_AUDIO,
        &ConnectedTargetInfo::Download_Firmware_IMAGE};
    for (std::size_t slot = 0; slot < 4 && expected; ++slot) {
        if (((flags >> slot) & 1U) == 0) {
            FUZZ_CHECK((r.*image[slot])() == nullptr);
            continue;
        }
        if (slot >= fields.size()) {
            expected = false;
            break;
        }
        const std::string& field = *fields.field(slot);
        FUZZ_CHECK((r.*address[slot])() == field);
        const SharedBytes bytes = (r.*image[slot])();
        const bool http = field.rfind("http://", 0) == 0 || field.rfind("https://", 0) == 0;
        FUZZ_CHECK((bytes != nullptr) == http);
        if (bytes) {
            const std::string got(bytes->begin(), bytes->end());
            FUZZ_CHECK(got == "IMG:" + field);
        }
    }
    FUZZ_CHECK(ok == expected);
    if (!ok) {
        FUZZ_CHECK(fuzzing::isFailureText(r.ErrorMessage(), 501));
    }
    return 0;
}

// The database answer end to end: records, counts, dates and both scrambled images.

#include "ServerRun.hpp"
#include "database/WebServer_GetDataBase.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(fuzzing::asText(data, size));
    fuzzing::ServerRun run;
    auto& r = run.record;
    r.setConnectedDevice_Enable_DATABASE_Firmware(1);
    run.client->answer("/qvt_database/get_id/KWm", fuzzing::base64("ID1"));
    run.client->answer("/qvt_database/countries", fuzzing::base64("2$A|1|0|0$B|1|0|0"));
    run.client->answer("/qvt_database/get_database/ID1m", body);
    WebServer_GetDataBase db(run.access());
    const bool ok = db.getDatabase(r);
    const CameraRecordList& all = db.DB_Struct();
    if (!ok) {
        FUZZ_CHECK(fuzzing::isFailureText(r.ErrorMessage(), 401));
        FUZZ_CHECK(r.Download_Firmware_DATABASE() == nullptr);
        return 0;
    }
    const std::uint32_t count = r.Info_DataBase_Count();
    FUZZ_CHECK(count == all.size());
    FUZZ_CHECK(r.Info_DataBase_Count_NoStrelka() == db.DB_Struct_noStrelka().size());
    FUZZ_CHECK(r.Info_DataBase_Count_NoStrelka() <= count);
    FUZZ_CHECK(r.Info_strDate().size() <= 8 * 4);
    const SharedBytes image = r.Download_Firmware_DATABASE();
    FUZZ_CHECK(image && *image == db.HexFormat_DB());
    // The image is 4 + 10 x records bytes, with the count in front, big-endian.
    FUZZ_CHECK(image->size() == 4 + 10 * static_cast<std::size_t>(count));
    FUZZ_CHECK(((std::uint32_t{(*image)[0]} << 24U) | (std::uint32_t{(*image)[1]} << 16U) |
                (std::uint32_t{(*image)[2]} << 8U) | (*image)[3]) == count);
    // Scrambling twice restores the input: the unscrambled records are the records' bytes.
    Bytes plain = *image;
    FUZZ_CHECK(WebServer_GetDataBase::ChangeSecurityCode(r, plain,
                                                         static_cast<std::int32_t>(plain.size())));
    for (std::size_t j = 0; j < count; ++j) {
        const auto expected = all.deviceBytes(j);
        FUZZ_CHECK(std::equal(expected.begin(), expected.end(), plain.begin() + 4 + 10 * j));
    }
    const SharedBytes noStrelka = r.Download_Firmware_DATABASE_NoStrelka();
    FUZZ_CHECK(noStrelka && noStrelka->size() == 4 + 10 * db.DB_Struct_noStrelka().size());
    for (const std::uint32_t i : db.DB_Struct_noStrelka()) {
        FUZZ_CHECK(all.kind(i) != CameraRecordList::Kind::Strelka);
    }
    return 0;
}

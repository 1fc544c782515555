// The country list: every per-country list as long as the count says, entries split at "|".

#include "ServerRun.hpp"
#include "database/WebServer_GetDataBase.hpp"
#include "server/FieldAnswer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(fuzzing::asText(data, size));
    fuzzing::ServerRun run;
    auto& r = run.record;
    r.setConnectedDevice_Enable_DATABASE_Firmware(1);
    run.client->answer("/qvt_database/get_id/KWm", fuzzing::base64("ID1"));
    run.client->answer("/qvt_database/countries", body);
    run.client->answer("/qvt_database/get_database/ID1m",
                       "2016-05-12\n" + fuzzing::base64("1,55.75,37.61,90,60,0,A") + "\nEND\n");
    WebServer_GetDataBase db(run.access());
    const bool ok = db.getDatabase(r);
    const std::size_t total = r.Country_Total_Num();
    if (!r.Country_Name()) {
        // No country at all: the database could never be chosen, so the fetch fails first.
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(r.ErrorMessage().rfind("Error_Code_401/ NoCountries / ", 0) == 0);
        FUZZ_CHECK(fuzzing::isFailureText(r.ErrorMessage(), 401));
        return 0;
    }
    FUZZ_CHECK(r.Country_SpeedCam_Num() && r.Country_Strelka_Num() && r.Country_Fake_Num() &&
               r.Country_Checked());
    const std::size_t names = r.Country_Name()->size();
    FUZZ_CHECK(r.Country_SpeedCam_Num()->size() == names);
    FUZZ_CHECK(r.Country_Strelka_Num()->size() == names);
    FUZZ_CHECK(r.Country_Fake_Num()->size() == names);
    FUZZ_CHECK(r.Country_Checked()->size() == names);
    if (ok) {
        FUZZ_CHECK(names == total);
        FUZZ_CHECK(r.Info_DataBase_Count() == 1U);
        for (const auto& mark : *r.Country_Checked()) {
            FUZZ_CHECK(mark == ListEntry{false});
        }
        for (const auto& name : *r.Country_Name()) {
            FUZZ_CHECK(name.find('|') == std::string::npos && name.find('$') == std::string::npos);
        }
    } else {
        FUZZ_CHECK(names < total);
        FUZZ_CHECK(fuzzing::isFailureText(r.ErrorMessage(), 401));
    }
    return 0;
}

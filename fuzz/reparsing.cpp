// reParsingForOriginal with a fuzzed choice, against a plain per-record scan of the country list.

#include "FuzzSupport.hpp"
#include "database/WebServer_GetDataBase.hpp"

#include <memory>
#include <optional>

namespace {

const char* const kNames[] = {"A", "B", "a", "A ", ""};

// The selection rule record by record, as written: nullopt where the scan fails.
std::optional<RecordIndexList> scan(const DataBaseList& records, std::uint32_t total,
                                    const TextList& names, const List& checked, bool excludeStrelka,
                                    bool excludeFake) {
    RecordIndexList chosen;
    for (std::size_t i = 0; i < records.size(); ++i) {
        // A run repeats one object, which the rule treats alike every time.
        if (i > 0 && records[i] == records[i - 1]) {
            if (!chosen.empty() && chosen.back() == i - 1) {
                chosen.push_back(static_cast<std::uint32_t>(i));
            }
            continue;
        }
        const DataBase& r = *records[i];
        for (std::size_t c = 0; c < total; ++c) {
            if (c >= names.size()) {
                return std::nullopt;
            }
            if (r.parsing_country != names[c]) {
                continue;
            }
            if (c >= checked.size()) {
                return std::nullopt;
            }
            const auto* mark = std::get_if<std::string>(&checked[c]);
            if (mark == nullptr) {
                return std::nullopt;
            }
            if (*mark != "YES") {
                continue;
            }
            const bool left =
                (r.parsing_camera == 0 && excludeStrelka) || (r.parsing_camera == 9 && excludeFake);
            if (!left) {
                chosen.push_back(static_cast<std::uint32_t>(i));
            }
            break;
        }
    }
    return chosen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    auto record = std::make_shared<ConnectedTargetInfo>();
    auto key = std::make_shared<List>();
    for (int k = 0; k < 9; ++k) {
        key->emplace_back(std::uint32_t{in.byte()});
    }
    record->setInfo_T_Key(key);
    const std::uint8_t flags = in.byte();
    const std::uint8_t countryCount = in.byte() % 8;
    const std::uint32_t total = (flags & 0x04U) != 0 ? countryCount + (flags >> 6U) : countryCount;
    auto names = std::make_shared<TextList>();
    auto checked = std::make_shared<List>();
    for (std::uint8_t c = 0; c < countryCount; ++c) {
        const std::uint8_t b = in.byte();
        names->emplace_back(kNames[b % 5]);
        const std::uint8_t m = (b >> 3U) % 4;
        if (m == 0) {
            checked->emplace_back(std::string("YES"));
        } else if (m == 1) {
            checked->emplace_back(std::string("NO"));
        } else if (m == 2) {
            checked->emplace_back(std::string("yes"));
        } else if ((flags & 0x08U) == 0) {
            checked->emplace_back(std::uint32_t{1}); // not a text
        } else {
            checked->emplace_back(std::string("YES"));
        }
    }
    record->setCountry_Total_Num(total);
    record->setCountry_Name(names);
    record->setCountry_Checked(checked);
    record->setIsExcludeStrelka(flags & 1U);
    record->setIsExcludeFake((flags >> 1U) & 1U);

    // Records: a run length and a camera byte each. Only with flag 0x10 do runs grow long
    // enough to pass the 9300 limit: a list that long costs a thousand short ones, and every
    // other branch of the filter is reached with a few dozen records.
    const bool longRuns = (flags & 0x10U) != 0;
    const std::size_t mostRecords = longRuns ? WebServer_GetDataBase::kMaxRecords + 100 : 64;
    const std::size_t runStep = longRuns ? 37 : 1;
    DataBaseList records;
    while (!in.empty() && records.size() < mostRecords) {
        const std::uint8_t b = in.byte();
        const std::size_t run = (b & 0x80U) != 0 ? 1 + in.byte() * runStep : 1;
        auto r = std::make_shared<DataBase>();
        const double cameras[] = {0, 9, 1, 9.5, -0.0, 3};
        r->parsing_camera = cameras[b % 6];
        r->parsing_lat = 55.0 + (b % 7);
        r->parsing_lng = 37.0 - (b % 11);
        r->parsing_direction = b;
        r->parsing_speed = b * 3;
        r->parsing_country = kNames[(b >> 3U) % 5];
        for (std::size_t k = 0; k < run && records.size() < mostRecords; ++k) {
            records.push_back(r);
        }
    }
    WebServer_GetDataBase db;
    FUZZ_CHECK(db.storeRecords(*record, records));
    const SharedBytes whole = record->Download_Firmware_DATABASE();
    const bool ok = db.reParsingForOriginal(*record);
    const auto expected =
        scan(records, total, *names, *checked, (flags & 1U) != 0, ((flags >> 1U) & 1U) != 0);
    if (!expected) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(record->Download_Firmware_DATABASE() == whole);
        return 0;
    }
    FUZZ_CHECK(db.DB_Struct_reParsing() == *expected);
    FUZZ_CHECK(ok == (expected->size() <= WebServer_GetDataBase::kMaxRecords));
    FUZZ_CHECK(db.HexFormat_DB_reParsing().size() == 4 + 10 * expected->size());
    if (!ok) {
        FUZZ_CHECK(record->Download_Firmware_DATABASE() == whole);
        return 0;
    }
    // The image of the chosen records, built by the conversion of the records themselves.
    DataBaseList chosen;
    for (const std::uint32_t i : *expected) {
        chosen.push_back(records[i]);
    }
    Bytes image(4 + 10 * chosen.size());
    FUZZ_CHECK(WebServer_GetDataBase::Change_Hex_Format(static_cast<std::int32_t>(chosen.size()),
                                                        chosen, image));
    FUZZ_CHECK(WebServer_GetDataBase::ChangeSecurityCode(*record, image,
                                                         static_cast<std::int32_t>(image.size())));
    FUZZ_CHECK(*record->Download_Firmware_DATABASE() == image);
    return 0;
}

// reParsingForOriginal with a fuzzed choice, against a plain scan of the country list and a
// device image written out from the record layout rather than by the production packer.

#include "FuzzSupport.hpp"
#include "database/WebServer_GetDataBase.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

// The checks walk lists of over 9300 records; their own loops need no coverage feedback, and
// without it a long input costs a fraction of the time.
#if defined(__clang__)
#define FUZZ_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_NO_COVERAGE
#endif

namespace {

const char* const kNames[] = {"A", "B", "a", "A ", ""};
const double kCameras[] = {0, 9, 1, 9.5, -0.0, 3};
// The camera types the device stores for kCameras: truncated.
constexpr std::uint32_t kDeviceTypes[] = {0, 9, 1, 9, 0, 3};

constexpr std::size_t kShortList = 64;
constexpr std::size_t kRecordSize = 10;
using Key = std::array<std::uint8_t, 9>;
using RecordBytes = std::array<std::uint8_t, kRecordSize>;

// A run of one record object, built from one input byte.
struct Run {
    std::shared_ptr<const DataBase> record;
    RecordBytes bytes; // what the device must get for it, unscrambled
    std::size_t first;
    std::size_t length;
};

// The ten device bytes of the record of byte `b`, from the layout: a = type:5 | latitude:23 |
// longitude bits 21..17 and b = longitude bits 16..0 | direction:9 | speed tens (not masked) |
// 00, laid out as b2 b0 a3 d1 a1 b1 b3 d0 a0 a2 with d the autodoria value (0 here). The
// coordinates are whole degrees, in ten-thousandths on the device.
RecordBytes layout(std::uint8_t b) {
    const std::uint32_t y = (55U + b % 7U) * 10000U;
    const std::uint32_t x = (37U - b % 11U) * 10000U;
    const std::uint32_t a =
        (kDeviceTypes[b % 6] << 27U) | ((y & 0x7FFFFFU) << 5U) | ((x >> 17U) & 0x1FU);
    const std::uint32_t w = (x << 15U) | (std::uint32_t{b} << 6U) | ((3U * b / 10U) << 2U);
    const auto at = [](std::uint32_t word, unsigned k) {
        return static_cast<std::uint8_t>(word >> (8U * k));
    };
    return {at(w, 2), at(w, 0), at(a, 3), 0, at(a, 1), at(w, 1), at(w, 3), 0, at(a, 0), at(a, 2)};
}

// The selection rule, decided once per run (a run repeats one object, which the rule treats
// alike every time) by scanning the country list as written: the chosen runs, or nullopt where
// the scan fails.
std::optional<std::vector<const Run*>> scan(const std::vector<Run>& runs, std::uint32_t total,
                                            const TextList& names, const List& checked,
                                            bool excludeStrelka, bool excludeFake) {
    std::vector<const Run*> chosen;
    for (const Run& run : runs) {
        const DataBase& r = *run.record;
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
                chosen.push_back(&run);
            }
            break;
        }
    }
    return chosen;
}

FUZZ_NO_COVERAGE std::uint8_t byteSum(const std::uint8_t* data, std::size_t size) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    return sum;
}

FUZZ_NO_COVERAGE std::size_t countOf(const std::vector<const Run*>& chosen) {
    std::size_t n = 0;
    for (const Run* run : chosen) {
        n += run->length;
    }
    return n;
}

FUZZ_NO_COVERAGE bool samePositions(const RecordIndexList& got,
                                    const std::vector<const Run*>& chosen) {
    std::size_t k = 0;
    for (const Run* run : chosen) {
        for (std::size_t i = run->first; i < run->first + run->length; ++i, ++k) {
            if (k >= got.size() || got[k] != i) {
                return false;
            }
        }
    }
    return k == got.size();
}

// A big-endian count, the records' bytes, and every byte after the count XORed with the key.
FUZZ_NO_COVERAGE bool isExpectedImage(const Bytes& image, const std::vector<const Run*>& chosen,
                                      std::size_t count, const Key& key) {
    if (image.size() != 4 + kRecordSize * count) {
        return false;
    }
    for (unsigned k = 0; k < 4; ++k) {
        if (image[k] != static_cast<std::uint8_t>(count >> (8U * (3U - k)))) {
            return false;
        }
    }
    std::size_t p = 4;
    for (const Run* run : chosen) {
        for (std::size_t i = 0; i < run->length; ++i) {
            for (const std::uint8_t byte : run->bytes) {
                if (image[p] != (byte ^ key[(p - 4) % key.size()])) {
                    return false;
                }
                ++p;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    auto record = std::make_shared<ConnectedTargetInfo>();
    auto keyList = std::make_shared<List>();
    Key key{};
    for (std::uint8_t& k : key) {
        k = in.byte();
        keyList->emplace_back(std::uint32_t{k});
    }
    record->setInfo_T_Key(keyList);
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

    // Records: a camera byte each, with a run length byte when its top bit is set. Every branch
    // of the filter is reached with a few dozen records; only the 9300 limit needs more, and a
    // list that long costs as much as a hundred short ones. So with flag 0x10, a padding byte
    // from 0xE0 up and input bytes that add up to a multiple of 256, the first run alone is
    // 9284 to 9315 records long: the records after it decide whether the chosen ones pass the
    // limit. Most mutations of such an input break the sum and give a short list again, which
    // keeps long lists to a small share of the runs.
    const std::uint8_t padding = (flags & 0x10U) != 0 ? in.byte() : 0;
    const std::size_t firstRun = padding >= 0xE0U && byteSum(data, size) == 0
                                     ? WebServer_GetDataBase::kMaxRecords - 16 + (padding & 0x1FU)
                                     : 0;
    const std::size_t mostRecords = firstRun + kShortList;
    std::vector<Run> runs;
    std::size_t recordCount = 0;
    while (!in.empty() && recordCount < mostRecords) {
        const std::uint8_t b = in.byte();
        std::size_t run = (b & 0x80U) != 0 ? 1 + in.byte() : 1;
        if (runs.empty() && firstRun != 0) {
            run = firstRun;
        }
        auto r = std::make_shared<DataBase>();
        r->parsing_camera = kCameras[b % 6];
        r->parsing_lat = 55.0 + (b % 7);
        r->parsing_lng = 37.0 - (b % 11);
        r->parsing_direction = b;
        r->parsing_speed = b * 3;
        r->parsing_country = kNames[(b >> 3U) % 5];
        run = std::min(run, mostRecords - recordCount);
        runs.push_back({std::move(r), layout(b), recordCount, run});
        recordCount += run;
    }
    DataBaseList records;
    records.reserve(recordCount);
    for (const Run& run : runs) {
        records.insert(records.end(), run.length, run.record);
    }

    WebServer_GetDataBase db;
    FUZZ_CHECK(db.storeRecords(*record, records));
    const SharedBytes whole = record->Download_Firmware_DATABASE();
    const bool ok = db.reParsingForOriginal(*record);
    const auto expected =
        scan(runs, total, *names, *checked, (flags & 1U) != 0, ((flags >> 1U) & 1U) != 0);
    if (!expected) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(record->Download_Firmware_DATABASE() == whole);
        return 0;
    }
    const std::size_t count = countOf(*expected);
    FUZZ_CHECK(samePositions(db.DB_Struct_reParsing(), *expected));
    FUZZ_CHECK(ok == (count <= WebServer_GetDataBase::kMaxRecords));
    FUZZ_CHECK(db.HexFormat_DB_reParsing().size() == 4 + kRecordSize * count);
    if (!ok) {
        // Refused: nothing of the choice reaches the record.
        FUZZ_CHECK(record->Download_Firmware_DATABASE() == whole);
        return 0;
    }
    FUZZ_CHECK(isExpectedImage(*record->Download_Firmware_DATABASE(), *expected, count, key));
    FUZZ_CHECK(*record->Download_Firmware_DATABASE() == db.HexFormat_DB_reParsing());
    return 0;
}

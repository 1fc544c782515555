#include "database/WebServer_GetDataBase.hpp"
#include "support/TestSupport.hpp"

#include <cmath>
#include <functional>

#include <gtest/gtest.h>

using testing_support::camera;
using testing_support::hex;

namespace {

constexpr std::array<std::uint8_t, 9> kKey = {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52};

struct Country {
    std::string name;
    ListEntry mark;
};

// A database client holding `records`, and a record whose country lists say `countries`.
struct Fixture {
    std::shared_ptr<ConnectedTargetInfo> record = testing_support::recordWithKey(kKey);
    WebServer_GetDataBase db;

    Fixture(DataBaseList records, const std::vector<Country>& countries) {
        auto names = std::make_shared<TextList>();
        auto checked = std::make_shared<List>();
        for (const auto& c : countries) {
            names->push_back(c.name);
            checked->push_back(c.mark);
        }
        record->setCountry_Name(names);
        record->setCountry_Checked(checked);
        record->setCountry_Total_Num(static_cast<std::uint32_t>(countries.size()));
        EXPECT_TRUE(db.storeRecords(*record, std::move(records)));
    }
};

// The image that the chosen records must give, written out from the record layout rather than
// by the production packer: a big-endian count, then per record the words
// a = type:5 | latitude:23 | longitude bits 21..17 and b = longitude bits 16..0 | direction:9 |
// speed tens:4 | 00, laid out as b2 b0 a3 d1 a1 b1 b3 d0 a0 a2 (d the autodoria value), and
// every byte after the count XORed with the key. The coordinates here are whole
// ten-thousandths of a degree, so rounding gives the device's value.
Bytes expectedImage(const DataBaseList& chosen) {
    const auto count = static_cast<std::uint32_t>(chosen.size());
    Bytes image = {static_cast<std::uint8_t>(count >> 24U), static_cast<std::uint8_t>(count >> 16U),
                   static_cast<std::uint8_t>(count >> 8U), static_cast<std::uint8_t>(count)};
    const auto whole = [](double v) { return static_cast<std::uint32_t>(std::lround(v)); };
    for (const auto& r : chosen) {
        const std::uint32_t y = whole(r->parsing_lat * 10000);
        const std::uint32_t x = whole(r->parsing_lng * 10000);
        const std::uint32_t a =
            (whole(r->parsing_camera) << 27U) | ((y & 0x7FFFFFU) << 5U) | ((x >> 17U) & 0x1FU);
        const std::uint32_t b = (x << 15U) | (whole(r->parsing_direction) << 6U) |
                                ((whole(r->parsing_speed) / 10) << 2U);
        const std::uint32_t d = whole(r->parsing_autodoria);
        const auto at = [](std::uint32_t word, unsigned k) {
            return static_cast<std::uint8_t>(word >> (8U * k));
        };
        image.insert(image.end(), {at(b, 2), at(b, 0), at(a, 3), at(d, 1), at(a, 1), at(b, 1),
                                   at(b, 3), at(d, 0), at(a, 0), at(a, 2)});
    }
    for (std::size_t p = 4; p < image.size(); ++p) {
        image[p] ^= kKey[(p - 4) % kKey.size()];
    }
    return image;
}

// Positions in `all` of the records of `chosen`, found by identity.
RecordIndexList positionsIn(const DataBaseList& all, const DataBaseList& chosen) {
    RecordIndexList out;
    for (const auto& c : chosen) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] == c && (out.empty() || out.back() < i)) {
                out.push_back(static_cast<std::uint32_t>(i));
                break;
            }
        }
    }
    return out;
}

const std::string kYes = "YES";
const std::string kNo = "NO";

TEST(StoreRecords, BuildsBothImagesAndCounts) {
    const auto strelka = camera(0, 55.7, 37.6, 0, 60, 0, "A");
    const auto fake = camera(9, 55.7, 37.6, 0, 60, 0, "A");
    const auto plain = camera(1, 55.7, 37.6, 0, 60, 0, "B");
    Fixture f({strelka, fake, plain}, {{"A", false}, {"B", false}});
    EXPECT_EQ(f.record->Info_DataBase_Count(), 3U);
    EXPECT_EQ(f.record->Info_DataBase_Count_NoStrelka(), 2U);
    ASSERT_EQ(f.db.DB_Struct_noStrelka().size(), 2U);
    EXPECT_EQ(f.db.DB_Struct_noStrelka(), (RecordIndexList{1, 2}))
        << "positions of the very same records";
    EXPECT_EQ(f.db.DB_Struct().kind(0), CameraRecordList::Kind::Strelka);
    EXPECT_EQ(f.db.DB_Struct().kind(1), CameraRecordList::Kind::Fake);
    EXPECT_EQ(f.db.DB_Struct().country(2), "B");
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE()),
              hex(expectedImage({strelka, fake, plain})));
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE_NoStrelka()),
              hex(expectedImage({fake, plain})));
    EXPECT_EQ(hex(f.db.HexFormat_DB()), hex(*f.record->Download_Firmware_DATABASE()));
}

TEST(ReParsing, KeepsChosenCountriesInAnswerOrderLessExcludedTypes) {
    const auto a0 = camera(0, 1, 1, 0, 0, 0, "A");
    const auto b1 = camera(1, 2, 2, 0, 0, 0, "B");
    const auto a9 = camera(9, 3, 3, 0, 0, 0, "A");
    const auto c1 = camera(1, 4, 4, 0, 0, 0, "C");
    const auto a1 = camera(1, 5, 5, 0, 0, 0, "A");
    const auto b0 = camera(0, 6, 6, 0, 0, 0, "B");

    struct Case {
        const char* name;
        bool strelka;
        bool fake;
        DataBaseList expected;
    };
    const std::vector<Case> cases = {
        {"nothing excluded", false, false, {a0, b1, a9, a1, b0}},
        {"no Strelka", true, false, {b1, a9, a1}},
        {"no Fake", false, true, {a0, b1, a1, b0}},
        {"neither", true, true, {b1, a1}},
    };
    for (const auto& c : cases) {
        // Countries listed in another order than the records: the answer order wins.
        const DataBaseList all = {a0, b1, a9, c1, a1, b0};
        Fixture f(all, {{"B", kYes}, {"C", kNo}, {"A", kYes}});
        f.record->setIsExcludeStrelka(c.strelka ? 1 : 0);
        f.record->setIsExcludeFake(c.fake ? 1 : 0);
        ASSERT_TRUE(f.db.reParsingForOriginal(*f.record)) << c.name;
        EXPECT_EQ(f.db.DB_Struct_reParsing(), positionsIn(all, c.expected)) << c.name;
        EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE()), hex(expectedImage(c.expected)))
            << c.name;
        EXPECT_EQ(hex(f.db.HexFormat_DB_reParsing()), hex(*f.record->Download_Firmware_DATABASE()));
        EXPECT_EQ(f.record->Info_DataBase_Count(), 6U) << "the filter keeps the fetched count";
        EXPECT_EQ(f.db.DB_Struct().size(), 6U);
    }
}

TEST(ReParsing, ARecordIsTakenOnceAndMatchingIsExact) {
    const auto a = camera(1, 1, 1, 0, 0, 0, "A");
    const auto lower = camera(1, 1, 1, 0, 0, 0, "a");
    const auto spaced = camera(1, 1, 1, 0, 0, 0, "A ");
    // "A" appears twice: unchosen then chosen, and chosen again.
    Fixture f({a, lower, spaced}, {{"A", kNo}, {"a", kNo}, {"A", kYes}, {"A", kYes}});
    ASSERT_TRUE(f.db.reParsingForOriginal(*f.record));
    EXPECT_EQ(f.db.DB_Struct_reParsing(), RecordIndexList{0});
}

TEST(ReParsing, NineThousandThreeHundredFitNineThousandThreeHundredOneDoNot) {
    const auto cam = camera(1, 55.7558, 37.6173, 90, 60, 0, "A");
    {
        Fixture f(DataBaseList(9300, cam), {{"A", kYes}});
        ASSERT_TRUE(f.db.reParsingForOriginal(*f.record));
        EXPECT_EQ(f.record->Download_Firmware_DATABASE()->size(), 93004U);
        EXPECT_EQ(hex(std::span(*f.record->Download_Firmware_DATABASE()).first(4)),
                  hex("00 00 24 54"));
    }
    {
        Fixture f(DataBaseList(9301, cam), {{"A", kYes}});
        const SharedBytes whole = f.record->Download_Firmware_DATABASE();
        EXPECT_FALSE(f.db.reParsingForOriginal(*f.record));
        EXPECT_EQ(f.record->Download_Firmware_DATABASE(), whole)
            << "the whole database stays in the record";
        EXPECT_EQ(f.db.HexFormat_DB_reParsing().size(), 93014U) << "the buffer is replaced";
    }
    {
        // 9301 records of which one is an excluded Strelka camera fit again.
        DataBaseList records(9300, cam);
        records.push_back(camera(0, 1, 1, 0, 0, 0, "A"));
        Fixture f(records, {{"A", kYes}});
        f.record->setIsExcludeStrelka(1);
        EXPECT_TRUE(f.db.reParsingForOriginal(*f.record));
    }
}

TEST(ReParsing, NothingChosenGivesTheFourByteImage) {
    Fixture f({camera(1, 1, 1, 0, 0, 0, "A")}, {{"A", kNo}});
    ASSERT_TRUE(f.db.reParsingForOriginal(*f.record));
    EXPECT_EQ(hex(*f.record->Download_Firmware_DATABASE()), hex("00 00 00 00"));
}

TEST(ReParsing, FailsWithoutTouchingTheRecord) {
    const auto cam = camera(1, 1, 1, 0, 0, 0, "A");
    struct Case {
        const char* name;
        std::function<void(Fixture&)> spoil;
    };
    const std::vector<Case> cases = {
        {"placeholder key entry",
         [](Fixture& f) {
             f.record->setInfo_T_Key(std::make_shared<const List>(9, ListEntry{std::string("n")}));
         }},
        {"check mark not a text",
         [](Fixture& f) {
             f.record->setCountry_Checked(std::make_shared<const List>(1, ListEntry{true}));
         }},
        {"country list shorter than the total",
         [](Fixture& f) {
             // "A" is not among the listed names, so the scan would run past the list's end.
             f.record->setCountry_Name(std::make_shared<TextList>(TextList{"B"}));
             f.record->setCountry_Total_Num(2);
         }},
    };
    Fixture unspoiled({cam, cam}, {{"A", kYes}});
    ASSERT_TRUE(unspoiled.db.reParsingForOriginal(*unspoiled.record))
        << "without a spoiled input the filter succeeds, so each case fails for its own reason";
    for (const auto& c : cases) {
        // Every record is of country "A", chosen; each case spoils one input.
        Fixture f({cam, cam}, {{"A", kYes}});
        const SharedBytes before = f.record->Download_Firmware_DATABASE();
        c.spoil(f);
        EXPECT_FALSE(f.db.reParsingForOriginal(*f.record)) << c.name;
        EXPECT_EQ(f.record->Download_Firmware_DATABASE(), before) << c.name;
    }
}

} // namespace

#include "database/WebServer_GetDataBase.hpp"
#include "support/TestSupport.hpp"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

using testing_support::camera;
using testing_support::Hex;
using testing_support::hex;

namespace {

Hex recordBytes(const std::shared_ptr<const DataBase>& r) {
    Bytes image(14);
    EXPECT_TRUE(WebServer_GetDataBase::Change_Hex_Format(1, {r}, image));
    return hex(std::span(image).subspan(4));
}

struct LayoutCase {
    const char* name;
    double type, lat, lng, direction, speed, autodoria;
    const char* bytes;
};

class RecordLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayout, PacksTheTenDeviceBytes) {
    const auto& c = GetParam();
    EXPECT_EQ(recordBytes(camera(c.type, c.lat, c.lng, c.direction, c.speed, c.autodoria, "A")),
              hex(c.bytes));
}

INSTANTIATE_TEST_SUITE_P(Records, RecordLayout,
                         ::testing::Values(LayoutCase{"Moscow", 1, 55.7558, 37.6173, 90, 60, 0,
                                                      "B6 98 09 00 3E 96 DE 00 C2 10"},
                                           LayoutCase{"MoscowStrelka", 0, 55.7558, 37.6173, 90, 60,
                                                      0, "B6 98 01 00 3E 96 DE 00 C2 10"},
                                           LayoutCase{"PetersburgFake", 9, 59.9386, 30.3141, 270,
                                                      90, 1234, "12 A4 49 04 AB C3 50 D2 42 24"},
                                           // Speed 65 and 60 share the tens digit.
                                           LayoutCase{"Speed65", 1, 55.7558, 37.6173, 90, 65, 0,
                                                      "B6 98 09 00 3E 96 DE 00 C2 10"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RecordLayout, ConvertingLatLngTruncatesToTenThousandths) {
    EXPECT_EQ(WebServer_GetDataBase::Converting_LatLng(55.7558), 557558);
    EXPECT_EQ(WebServer_GetDataBase::Converting_LatLng(-33.8688), -338688);
    EXPECT_EQ(WebServer_GetDataBase::Converting_LatLng(0.00009), 0);
    EXPECT_EQ(WebServer_GetDataBase::Converting_LatLng(-0.00009), 0);
}

TEST(RecordLayout, SpeedBelowTenGivesZeroTens) {
    const Hex slow = recordBytes(camera(1, 55.7558, 37.6173, 90, 5, 0, "A"));
    const Hex zero = recordBytes(camera(1, 55.7558, 37.6173, 90, 0, 0, "A"));
    EXPECT_EQ(slow, zero);
}

TEST(RecordLayout, ImageCarriesABigEndianCountAndNoPadding) {
    Bytes empty(4, 0xEE);
    ASSERT_TRUE(WebServer_GetDataBase::Change_Hex_Format(0, {}, empty));
    EXPECT_EQ(hex(empty), hex("00 00 00 00"));

    DataBaseList list(300, camera(1, 1, 1, 1, 1, 1, "A"));
    Bytes image(3004);
    ASSERT_TRUE(WebServer_GetDataBase::Change_Hex_Format(300, list, image));
    EXPECT_EQ(hex(std::span(image).first(4)), hex("00 00 01 2C"));
}

TEST(RecordLayout, RefusesABufferOrListTooShort) {
    DataBaseList list(2, camera(1, 1, 1, 1, 1, 1, "A"));
    Bytes small(23, 0x5A);
    EXPECT_FALSE(WebServer_GetDataBase::Change_Hex_Format(2, list, small));
    EXPECT_EQ(small, Bytes(23, 0x5A));
    Bytes image(34);
    EXPECT_FALSE(WebServer_GetDataBase::Change_Hex_Format(3, list, image));
}

// NaN, infinities and far out-of-range values in every field: no undefined behaviour (the
// sanitizer build checks), NaN packs as 0, the rest as the saturated 32-bit value.
TEST(RecordLayout, NonFiniteAndHugeValuesSaturate) {
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {std::nan(""), inf, -inf, 1e300, -1e300};
    for (const double v : values) {
        for (int field = 0; field < 6; ++field) {
            double f[6] = {1, 55.7558, 37.6173, 90, 60, 0};
            f[field] = v;
            const Hex got = recordBytes(camera(f[0], f[1], f[2], f[3], f[4], f[5], "A"));
            // A saturated field packs like the field at the 32-bit limit; NaN like 0. For the
            // coordinates, 1e10 degrees is a value that saturates too.
            double same[6] = {1, 55.7558, 37.6173, 90, 60, 0};
            const bool coordinate = field == 1 || field == 2;
            const double high = coordinate ? 1e10 : 2147483647.0;
            const double low = coordinate ? -1e10 : -2147483648.0;
            same[field] = std::isnan(v) ? 0.0 : (v > 0 ? high : low);
            const Hex want =
                recordBytes(camera(same[0], same[1], same[2], same[3], same[4], same[5], "A"));
            EXPECT_EQ(got, want) << "field " << field << " value " << v;
        }
    }
    // Spot check: a saturated speed is INT32_MAX / 10 = 214748364 tens, masked by the shift.
    const Hex fast = recordBytes(camera(1, 0, 0, 0, 1e300, 0, "A"));
    const std::uint32_t b = (214748364U << 2U);
    EXPECT_EQ(fast.bytes[1], static_cast<std::uint8_t>(b));
    EXPECT_EQ(fast.bytes[5], static_cast<std::uint8_t>(b >> 8U));
}

TEST(RecordLayout, MatchesABitByBitFormulationForRandomRecords) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> type(0, 20);
    std::uniform_int_distribution<std::int32_t> lat(-900000, 900000); // ten-thousandths
    std::uniform_int_distribution<std::int32_t> lng(-1800000, 1800000);
    std::uniform_int_distribution<int> direction(0, 600);
    std::uniform_int_distribution<int> speed(0, 250);
    std::uniform_int_distribution<int> autodoria(0, 70000);
    for (int n = 0; n < 5000; ++n) {
        const std::int32_t y = lat(rng);
        const std::int32_t x = lng(rng);
        const int t = type(rng);
        const int h = direction(rng);
        const int s = speed(rng);
        const int d = autodoria(rng);
        // Degrees chosen so that the conversion lands exactly on y and x: y / 10000 + half a
        // millionth away from the truncation boundary.
        const double latDeg = (y + (y >= 0 ? 0.005 : -0.005)) / 10000.0;
        const double lngDeg = (x + (x >= 0 ? 0.005 : -0.005)) / 10000.0;
        ASSERT_EQ(WebServer_GetDataBase::Converting_LatLng(latDeg), y);
        ASSERT_EQ(WebServer_GetDataBase::Converting_LatLng(lngDeg), x);
        const Hex got = recordBytes(camera(t, latDeg, lngDeg, h, s, d, "A"));
        ASSERT_EQ(got, testing_support::recordBitByBit(t, y, x, h, s / 10, d))
            << "t=" << t << " y=" << y << " x=" << x << " h=" << h << " s=" << s << " d=" << d;
    }
}

TEST(SetStrData, ReadsSevenFieldsAndIgnoresTheRest) {
    DataBase r;
    const std::string_view fields[] = {"9",  "59.9386", "30.3141", "270",
                                       "90", "1234",    "Россия",  "extra"};
    ASSERT_TRUE(WebServer_GetDataBase::setStrData(fields, r));
    EXPECT_EQ(r.parsing_camera, 9);
    EXPECT_EQ(r.parsing_lat, 59.9386);
    EXPECT_EQ(r.parsing_lng, 30.3141);
    EXPECT_EQ(r.parsing_direction, 270);
    EXPECT_EQ(r.parsing_speed, 90);
    EXPECT_EQ(r.parsing_autodoria, 1234);
    EXPECT_EQ(r.parsing_country, "Россия");
}

TEST(SetStrData, FewerThanSevenFieldsFailAfterStoringThoseBefore) {
    DataBase r;
    const std::string_view five[] = {"1", "55.7558", "37.6173", "90", "60"};
    EXPECT_FALSE(WebServer_GetDataBase::setStrData(five, r));
    EXPECT_EQ(r.parsing_speed, 60);
    EXPECT_EQ(r.parsing_autodoria, 0);
    EXPECT_EQ(r.parsing_country, "");

    const std::string_view six[] = {"1", "55.7558", "37.6173", "90", "60", "7"};
    EXPECT_FALSE(WebServer_GetDataBase::setStrData(six, r));
    EXPECT_EQ(r.parsing_autodoria, 7);

    DataBase bad;
    const std::string_view text[] = {"1", "abc", "37.6173", "90", "60", "0", "A"};
    EXPECT_TRUE(WebServer_GetDataBase::setStrData(text, bad));
    EXPECT_EQ(bad.parsing_lat, 0) << "a text that is not a number reads as 0";
}

} // namespace

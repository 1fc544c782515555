#include "support/TestSupport.hpp"

#include <cctype>
#include <iomanip>
#include <stdexcept>

namespace testing_support {

Hex hex(std::span<const std::uint8_t> bytes) { return Hex{{bytes.begin(), bytes.end()}}; }

Hex hex(std::string_view text) {
    Hex out;
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
            throw std::invalid_argument("not a hex digit in test data");
        }
        const int v = std::isdigit(static_cast<unsigned char>(c)) != 0
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = v;
        } else {
            out.bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) {
        throw std::invalid_argument("odd number of hex digits in test data");
    }
    return out;
}

Hex hex(const std::string& text) { return hex(std::string_view(text)); }
Hex hex(const char* text) { return hex(std::string_view(text)); }

void PrintTo(const Hex& value, std::ostream* os) {
    *os << value.bytes.size() << " bytes:";
    const auto flags = os->flags();
    for (std::size_t i = 0; i < value.bytes.size(); ++i) {
        if (i == 64) {
            *os << " ...";
            break;
        }
        *os << ' ' << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
            << static_cast<unsigned>(value.bytes[i]);
    }
    os->flags(flags);
}

std::string base64Encode(std::span<const std::uint8_t> bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (bytes[i] << 16U) | (bytes[i + 1] << 8U) | bytes[i + 2];
        out += kAlphabet[(v >> 18U) & 63U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += kAlphabet[(v >> 6U) & 63U];
        out += kAlphabet[v & 63U];
    }
    if (bytes.size() - i == 1) {
        const std::uint32_t v = bytes[i] << 16U;
        out += kAlphabet[(v >> 18U) & 63U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += "==";
    } else if (bytes.size() - i == 2) {
        const std::uint32_t v = (bytes[i] << 16U) | (bytes[i + 1] << 8U);
        out += kAlphabet[(v >> 18U) & 63U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += kAlphabet[(v >> 6U) & 63U];
        out += '=';
    }
    return out;
}

std::string base64Encode(std::string_view text) {
    return base64Encode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::shared_ptr<ConnectedTargetInfo> recordWithKey(const std::array<std::uint8_t, 9>& key) {
    auto record = std::make_shared<ConnectedTargetInfo>();
    List entries;
    for (const auto b : key) {
        entries.emplace_back(std::uint32_t{b});
    }
    record->setInfo_T_Key(std::make_shared<const List>(std::move(entries)));
    return record;
}

std::shared_ptr<const DataBase> camera(double type, double lat, double lng, double direction,
                                       double speed, double autodoria, std::string country) {
    auto r = std::make_shared<DataBase>();
    r->parsing_camera = type;
    r->parsing_lat = lat;
    r->parsing_lng = lng;
    r->parsing_direction = direction;
    r->parsing_speed = speed;
    r->parsing_autodoria = autodoria;
    r->parsing_country = std::move(country);
    return r;
}

// An independent formulation: every field is placed bit by bit at the positions the device
// expects, then the ten bytes are read out of the two words and the autodoria value.
Hex recordBitByBit(std::int32_t t, std::int32_t y, std::int32_t x, std::int32_t h, std::int32_t s,
                   std::int32_t d) {
    std::array<bool, 32> a{};
    std::array<bool, 32> b{};
    auto bit = [](std::int64_t v, int i) { return ((v >> i) & 1) != 0; };
    for (int i = 0; i < 5; ++i) { // camera type in bits 31..27 (only its low 5 bits survive)
        a[27 + i] = a[27 + i] || bit(t, i);
    }
    for (int i = 0; i < 23; ++i) { // latitude low 23 bits in 27..5, bit 27 shared
        a[5 + i] = a[5 + i] || bit(y, i);
    }
    for (int i = 0; i < 5; ++i) { // longitude bits 21..17 in 4..0
        a[i] = bit(x, 17 + i);
    }
    for (int i = 0; i < 17; ++i) { // longitude bits 16..0 in B 31..15
        b[15 + i] = bit(x, i);
    }
    for (int i = 0; i < 26; ++i) { // direction from bit 6 up, spilling over when 512 or more
        if (6 + i < 32) {
            b[6 + i] = b[6 + i] || bit(h, i);
        }
    }
    for (int i = 0; i < 30; ++i) { // speed tens from bit 2 up
        b[2 + i] = b[2 + i] || bit(s, i);
    }
    auto byteOf = [](const std::array<bool, 32>& w, int high) {
        std::uint8_t v = 0;
        for (int i = 0; i < 8; ++i) {
            v = static_cast<std::uint8_t>((v << 1) | (w[high - i] ? 1 : 0));
        }
        return v;
    };
    auto dByte = [&](int high) {
        std::uint8_t v = 0;
        for (int i = 0; i < 8; ++i) {
            v = static_cast<std::uint8_t>((v << 1) | (bit(d, high - i) ? 1 : 0));
        }
        return v;
    };
    return Hex{{byteOf(b, 23), byteOf(b, 7), byteOf(a, 31), dByte(15), byteOf(a, 15), byteOf(b, 15),
                byteOf(b, 31), dByte(7), byteOf(a, 7), byteOf(a, 23)}};
}

} // namespace testing_support

#include "cli/TextWidth.hpp"

#include <cstdint>

namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

constexpr Range kCombining[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},
                                {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
                                {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}};
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},  {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},  {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};

bool within(std::uint32_t c, const auto& ranges) {
    for (const Range& r : ranges) {
        if (c >= r.first && c <= r.last) {
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t TextWidth::of(std::string_view utf8) {
    std::size_t columns = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80              ? 1
                                   : (lead & 0xE0U) == 0xC0 ? 2
                                   : (lead & 0xF0U) == 0xE0 ? 3
                                   : (lead & 0xF8U) == 0xF0 ? 4
                                                            : 0;
        bool valid = length != 0 && i + length <= utf8.size();
        std::uint32_t c = length == 1 ? lead : lead & (0x7FU >> length);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0U) == 0x80;
            c = (c << 6U) | (next & 0x3FU);
        }
        if (!valid) {
            ++columns;
            ++i;
            continue;
        }
        i += length;
        columns += within(c, kCombining) ? 0 : within(c, kWide) ? 2 : 1;
    }
    return columns;
}

std::string TextWidth::padRight(std::string_view utf8, std::size_t columns) {
    const std::size_t width = of(utf8);
    return std::string(utf8) + std::string(width < columns ? columns - width : 0, ' ');
}

std::string TextWidth::padLeft(std::string_view utf8, std::size_t columns) {
    const std::size_t width = of(utf8);
    return std::string(width < columns ? columns - width : 0, ' ') + std::string(utf8);
}

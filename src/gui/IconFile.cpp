#include "gui/IconFile.hpp"

#include <cstddef>
#include <limits>

namespace {

constexpr std::uint32_t kMaxEdge = 256;
constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::uint16_t kIconType = 1;
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kBitsPerPixel = 32;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (unsigned shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFFu));
    }
}

// The directory holds an edge in one byte; 0 stands for 256.
std::uint8_t edgeByte(std::uint32_t edge) {
    return edge == kMaxEdge ? 0 : static_cast<std::uint8_t>(edge);
}

} // namespace

std::vector<std::uint8_t> IconFile::bytes(std::span<const Image> images) {
    if (images.empty() || images.size() > std::numeric_limits<std::uint16_t>::max()) {
        return {};
    }
    std::uint64_t offset = kHeaderBytes + kEntryBytes * images.size();
    std::uint64_t total = offset;
    for (const Image& image : images) {
        if (image.width == 0 || image.width > kMaxEdge || image.height == 0 ||
            image.height > kMaxEdge || image.png.empty()) {
            return {};
        }
        total += image.png.size();
    }
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return {};
    }

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    put16(out, 0);
    put16(out, kIconType);
    put16(out, static_cast<std::uint16_t>(images.size()));
    for (const Image& image : images) {
        out.push_back(edgeByte(image.width));
        out.push_back(edgeByte(image.height));
        out.push_back(0); // no palette
        out.push_back(0);
        put16(out, kPlanes);
        put16(out, kBitsPerPixel);
        put32(out, static_cast<std::uint32_t>(image.png.size()));
        put32(out, static_cast<std::uint32_t>(offset));
        offset += image.png.size();
    }
    for (const Image& image : images) {
        out.insert(out.end(), image.png.begin(), image.png.end());
    }
    return out;
}

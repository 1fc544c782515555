#pragma once
// A Windows icon file (.ico) of PNG-compressed images, the form Windows Vista and later read.

#include <cstdint>
#include <span>
#include <vector>

class IconFile {
public:
    struct Image {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        std::vector<std::uint8_t> png;
    };

    // The file: the directory, then each image's PNG bytes in the order given, every field
    // little-endian. Empty when there is no image, an edge is 0 or above 256, an image has no
    // bytes, or an offset would not fit in 32 bits.
    static std::vector<std::uint8_t> bytes(std::span<const Image> images);
};

// A picture being made, in memory, before it is written as a PNG.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tincrates::cratesmith {

struct Image {
    Image() = default;
    Image(uint32_t width, uint32_t height, uint32_t fill = 0xFF000000u)
        : width(width)
        , height(height)
        , pixels(size_t(width) * height, fill)
    {
    }

    uint32_t& at(uint32_t x, uint32_t y) { return pixels[size_t(y) * width + x]; }
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }

    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;        // written as RGBA when set, RGB otherwise
    std::vector<uint32_t> pixels; // top row first, 0xAARRGGBB
};

} // namespace tincrates::cratesmith

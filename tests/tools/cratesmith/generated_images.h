// Reading back the images the generator wrote, for the texture and lettering tests.
#pragma once

#include "platform/image/png_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tincrates::cratesmith::testing {

inline std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The decoded image; an empty one (and a test failure) when the file is missing or damaged.
inline DecodedImage readImage(const std::filesystem::path& path)
{
    std::string bytes = fileBytes(path);
    DecodedImage image;
    std::string error;
    EXPECT_TRUE(decodePng(bytes.data(), bytes.size(), image, error)) << path << ": " << error;
    return image;
}

inline uint32_t pixelAt(const DecodedImage& image, uint32_t x, uint32_t y)
{
    return image.pixels[size_t(y) * image.width + x];
}

inline int channel(uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); }
inline int alphaOf(uint32_t pixel) { return channel(pixel, 24); }

// Rec. 601 luma, 0 to 255.
inline double lumaOf(uint32_t pixel)
{
    return 0.299 * channel(pixel, 16) + 0.587 * channel(pixel, 8) + 0.114 * channel(pixel, 0);
}

inline bool isPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// The image at half its width and height, each pixel the mean of the 2 × 2 it stands for (every
// channel alike, alpha too), as a mipmap's next level is made. Odd last rows and columns drop.
inline DecodedImage halved(const DecodedImage& image)
{
    DecodedImage half;
    half.width = image.width / 2;
    half.height = image.height / 2;
    half.hasAlpha = image.hasAlpha;
    half.pixels.resize(size_t(half.width) * half.height);
    for (uint32_t y = 0; y < half.height; ++y)
        for (uint32_t x = 0; x < half.width; ++x) {
            uint32_t pixel = 0;
            for (int shift : {0, 8, 16, 24}) {
                int sum = channel(pixelAt(image, 2 * x, 2 * y), shift)
                          + channel(pixelAt(image, 2 * x + 1, 2 * y), shift)
                          + channel(pixelAt(image, 2 * x, 2 * y + 1), shift)
                          + channel(pixelAt(image, 2 * x + 1, 2 * y + 1), shift);
                pixel |= uint32_t((sum + 2) / 4) << shift;
            }
            half.pixels[size_t(y) * half.width + x] = pixel;
        }
    return half;
}

} // namespace tincrates::cratesmith::testing

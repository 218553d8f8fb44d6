// PNG decoding through libpng, to 32-bit pixels in Direct3D's 0xAARRGGBB order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tincrates {

struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels; // top row first, 0xAARRGGBB
};

// Largest width or height accepted; larger images are refused before any pixel is decoded.
constexpr uint32_t maxImageSide = 8192;

// Whether the bytes start with the PNG signature.
bool isPng(const void* data, size_t size);

// Decodes the bytes into `image`. On failure returns false with libpng's reason (or ours) in
// `error`, and leaves `image` empty.
bool decodePng(const void* data, size_t size, DecodedImage& image, std::string& error);

} // namespace tincrates

// The decoders' common result, 32-bit pixels in Direct3D's 0xAARRGGBB order, and the largest
// image they take.
#pragma once

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

// Largest width or height accepted, and the largest texture side the device makes and reports
// in its capabilities: an image is decoded only to become a texture. Larger images are refused
// before any pixel is decoded.
constexpr uint32_t maxImageSide = 8192;

// Whether a width × height image may be decoded. When not, `error` receives the reason, such as
// "70000 × 16 pixels is larger than the device's limit of 8192 × 8192".
bool isImageSizeAccepted(uint32_t width, uint32_t height, std::string& error);

} // namespace tincrates

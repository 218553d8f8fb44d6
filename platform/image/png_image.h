// PNG decoding through libpng, to 32-bit pixels in Direct3D's 0xAARRGGBB order.
#pragma once

#include "platform/image/decoded_image.h"

#include <cstddef>
#include <string>

namespace tincrates {

// Whether the bytes start with the PNG signature.
bool isPng(const void* data, size_t size);

// Decodes the bytes into `image`. On failure returns false with the reason in `error` ("not a
// PNG image", "truncated PNG data", the size beyond maxImageSide, or libpng's own words for
// damaged data), and leaves `image` empty.
bool decodePng(const void* data, size_t size, DecodedImage& image, std::string& error);

} // namespace tincrates

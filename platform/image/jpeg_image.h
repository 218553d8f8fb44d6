// JPEG decoding through libjpeg-turbo, to 32-bit pixels in Direct3D's 0xAARRGGBB order.
#pragma once

#include "platform/image/decoded_image.h"

#include <cstddef>
#include <string>

namespace tincrates {

// Whether the bytes start with a JPEG start-of-image marker.
bool isJpeg(const void* data, size_t size);

// Decodes the bytes into `image` (opaque, hasAlpha false). On failure returns false with the
// decoder's reason in `error` and leaves `image` empty.
bool decodeJpeg(const void* data, size_t size, DecodedImage& image, std::string& error);

} // namespace tincrates

// Image files as the production takes them: PNG or JPEG, recognised from their bytes.
#pragma once

#include "platform/image/decoded_image.h"

#include <cstddef>
#include <string>

namespace tincrates {

// Decodes PNG or JPEG bytes (the format is told by the bytes, never by a file name) into
// `image`. On failure returns false with the reason in `error` and leaves `image` empty: "not a
// PNG or JPEG image", the size beyond the limit (see isImageSizeAccepted), "truncated PNG data",
// or the decoding library's own words for damaged data.
bool decodeImage(const void* data, size_t size, DecodedImage& image, std::string& error);

} // namespace tincrates

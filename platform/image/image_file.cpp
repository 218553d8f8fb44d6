// The choice of decoder for an image file.
#include "platform/image/image_file.h"

#include "platform/image/jpeg_image.h"
#include "platform/image/png_image.h"

namespace tincrates {

bool decodeImage(const void* data, size_t size, DecodedImage& image, std::string& error)
{
    if (isJpeg(data, size))
        return decodeJpeg(data, size, image, error);
    if (isPng(data, size))
        return decodePng(data, size, image, error);
    image = {};
    error = "not a PNG or JPEG image";
    return false;
}

} // namespace tincrates

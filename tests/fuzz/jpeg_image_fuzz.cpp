// An input as JPEG image bytes, decoded as the texture loader decodes them.
#include "fuzz/fuzz_target.h"
#include "platform/image/jpeg_image.h"

TINCRATES_FUZZ_TARGET(jpeg_image)
{
    tincrates::DecodedImage image;
    std::string error;
    tincrates::decodeJpeg(input.data(), input.size(), image, error);
}

// An input as PNG image bytes, decoded as the texture loader decodes them.
#include "fuzz/fuzz_target.h"
#include "platform/image/png_image.h"

TINCRATES_FUZZ_TARGET(png_image)
{
    tincrates::DecodedImage image;
    std::string error;
    tincrates::decodePng(input.data(), input.size(), image, error);
}

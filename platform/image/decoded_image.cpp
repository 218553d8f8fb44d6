// The size limit shared by the image decoders.
#include "platform/image/decoded_image.h"

namespace tincrates {

bool isImageSizeAccepted(uint32_t width, uint32_t height, std::string& error)
{
    if (width > maxImageSide || height > maxImageSide) {
        error = std::to_string(width) + " × " + std::to_string(height)
            + " pixels is larger than the device's limit of " + std::to_string(maxImageSide)
            + " × " + std::to_string(maxImageSide);
        return false;
    }
    return true;
}

} // namespace tincrates

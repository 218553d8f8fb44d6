// PNG encoding through libpng's simplified interface.
#include "tools/capture/png_writer.h"

#include <png.h>

namespace tincrates {

void writePngFile(const std::string& path, uint32_t width, uint32_t height,
    const std::vector<uint32_t>& pixels)
{
    // Frames are opaque: the unused top byte stays out of the file.
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        uint32_t p = pixels[i];
        rgb[i * 3] = uint8_t(p >> 16);
        rgb[i * 3 + 1] = uint8_t(p >> 8);
        rgb[i * 3 + 2] = uint8_t(p);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        std::string reason = image.message;
        png_image_free(&image);
        throw "cannot write " + path + ": " + reason;
    }
}

} // namespace tincrates

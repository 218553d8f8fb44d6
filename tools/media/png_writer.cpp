// PNG encoding through libpng's simplified interface.
#include "tools/media/png_writer.h"

#include "datafiles/replacing_file.h"

#include <png.h>

#include <stdexcept>

namespace tincrates {

void writePngFile(const std::string& path, uint32_t width, uint32_t height,
    const std::vector<uint32_t>& pixels, bool keepAlpha)
{
    // Bytes in R, G, B(, A) order whatever the machine's byte order.
    int channels = keepAlpha ? 4 : 3;
    std::vector<uint8_t> bytes(size_t(width) * height * size_t(channels));
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        uint32_t p = pixels[i];
        uint8_t* out = &bytes[i * size_t(channels)];
        out[0] = uint8_t(p >> 16);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p);
        if (keepAlpha)
            out[3] = uint8_t(p >> 24);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = keepAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    try {
        ReplacingFile file(path);
        if (!png_image_write_to_stdio(&image, file.stream(), 0, bytes.data(), 0, nullptr)) {
            std::string reason = image.message;
            png_image_free(&image);
            throw "cannot write " + path + ": " + reason;
        }
        file.commit();
    } catch (const std::runtime_error& error) {
        throw std::string(error.what());
    }
}

} // namespace tincrates

// PNG decoding with libpng's simplified reading interface, which handles every colour type,
// bit depth, palette and transparency chunk, and needs no setjmp.
#include "platform/png_image.h"

#include <png.h>

#include <cstring>

namespace tincrates {

bool isPng(const void* data, size_t size)
{
    return data && size >= 8 && png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) == 0;
}

bool decodePng(const void* data, size_t size, DecodedImage& image, std::string& error)
{
    image = {};
    if (!isPng(data, size)) {
        error = "not a PNG image";
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        error = png.message;
        png_image_free(&png);
        return false;
    }
    if (png.width == 0 || png.height == 0 || png.width > maxImageSide
        || png.height > maxImageSide) {
        error = "image too large";
        png_image_free(&png);
        return false;
    }
    bool hasAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    // Bytes B, G, R, A: a little-endian 0xAARRGGBB word per pixel.
    png.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(size_t(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, pixels.data(), int(png.width * 4), nullptr)) {
        error = png.message;
        png_image_free(&png);
        return false;
    }
    image.width = png.width;
    image.height = png.height;
    image.hasAlpha = hasAlpha;
    image.pixels = std::move(pixels);
    png_image_free(&png);
    return true;
}

} // namespace tincrates

// PNG decoding with libpng's full reading interface. Samples are taken as stored: no gamma
// correction, 16-bit samples keep their high byte, palettes and transparency chunks expand
// to 8-bit BGRA.
//
// libpng reports errors by longjmp back to setjmp. The two functions that call setjmp
// construct no C++ object after it, so nothing with a destructor is skipped by the jump.
#include "platform/image/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace tincrates {

namespace {

struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t offset;
};

// Owns libpng's read structures.
class PngReader {
public:
    explicit PngReader(MemorySource& source)
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
        if (png)
            info = png_create_info_struct(png);
        if (png && info) {
            png_set_read_fn(png, &source, readBytes);
            // The size is checked by us once the header is read, so that a large image is
            // refused with its size rather than libpng's "Invalid IHDR data"; libpng's own
            // limit stays only for what no image can be.
            png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        }
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }

    bool isReady() const { return png && info; }

    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[128] = "cannot decode the PNG image";

private:
    static void readBytes(png_structp png, png_bytep out, png_size_t count)
    {
        auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
        if (count > source->size - source->offset)
            png_error(png, "truncated PNG data");
        std::memcpy(out, source->data + source->offset, count);
        source->offset += count;
    }

    static void onError(png_structp png, png_const_charp text)
    {
        auto* reader = static_cast<PngReader*>(png_get_error_ptr(png));
        std::snprintf(reader->message, sizeof reader->message, "%s", text);
        png_longjmp(png, 1);
    }

    static void onWarning(png_structp, png_const_charp) {}
};

// Reads the chunks up to the pixel data. False on any libpng error.
bool readHeader(PngReader& reader, uint32_t& width, uint32_t& height, bool& hasAlpha)
{
    png_structp png = reader.png;
    png_infop info = reader.info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    int colourType = png_get_color_type(png, info);
    hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    return true;
}

// Sets the conversions to 8-bit BGRA. False on any libpng error.
bool setConversions(PngReader& reader, uint32_t width)
{
    png_structp png = reader.png;
    png_infop info = reader.info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_expand(png);     // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);        // bytes B, G, R, A: a little-endian 0xAARRGGBB word
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(width) * 4;
}

bool readRows(PngReader& reader, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(reader.png)))
        return false;
    png_read_image(reader.png, rows);
    return true;
}

} // namespace

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
    MemorySource source{static_cast<const uint8_t*>(data), size, 0};
    PngReader reader(source);
    if (!reader.isReady()) {
        error = "out of memory";
        return false;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;
    if (!readHeader(reader, width, height, hasAlpha)) {
        error = reader.message;
        return false;
    }
    if (!isImageSizeAccepted(width, height, error))
        return false;
    if (!setConversions(reader, width)) {
        error = reader.message;
        return false;
    }
    std::vector<uint32_t> pixels(size_t(width) * height);
    std::vector<png_bytep> rows(height);
    for (uint32_t y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels.data() + size_t(y) * width);
    if (!readRows(reader, rows.data())) {
        error = reader.message;
        return false;
    }
    image.width = width;
    image.height = height;
    image.hasAlpha = hasAlpha;
    image.pixels = std::move(pixels);
    return true;
}

} // namespace tincrates

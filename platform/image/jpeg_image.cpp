// JPEG decoding with the TurboJPEG interface, which reports errors by its results.
#include "platform/image/jpeg_image.h"

#include <turbojpeg.h>

namespace tincrates {

namespace {

// Owns a TurboJPEG decompressor.
class JpegDecoder {
public:
    JpegDecoder() : handle(tjInitDecompress()) {}
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    ~JpegDecoder()
    {
        if (handle)
            tjDestroy(handle);
    }
    tjhandle handle;
};

// libjpeg's warning for data that ends before the image does.
constexpr const char* truncatedWarning = "Premature end of JPEG file";

} // namespace

bool isJpeg(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    return data && size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

bool decodeJpeg(const void* data, size_t size, DecodedImage& image, std::string& error)
{
    image = {};
    if (!isJpeg(data, size) || size > 0xFFFFFFFFu) {
        error = "not a JPEG image";
        return false;
    }
    JpegDecoder decoder;
    if (!decoder.handle) {
        error = "out of memory";
        return false;
    }
    auto* bytes = static_cast<const unsigned char*>(data);
    int width = 0, height = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(decoder.handle, bytes, static_cast<unsigned long>(size), &width,
            &height, &subsampling, &colourSpace)
        != 0) {
        error = tjGetErrorStr2(decoder.handle);
        return false;
    }
    // Bytes that end inside the header leave it unread without an error: no frame, no size.
    if (width <= 0 || height <= 0) {
        error = "truncated JPEG data";
        return false;
    }
    if (!isImageSizeAccepted(uint32_t(width), uint32_t(height), error))
        return false;
    std::vector<uint32_t> pixels(size_t(width) * height);
    // Bytes B, G, R, A: a little-endian 0xAARRGGBB word, alpha 255.
    if (tjDecompress2(decoder.handle, bytes, static_cast<unsigned long>(size),
            reinterpret_cast<unsigned char*>(pixels.data()), width, width * 4, height, TJPF_BGRA,
            0)
        != 0) {
        std::string problem = tjGetErrorStr2(decoder.handle);
        // libjpeg only warns when the data ends early and paints the missing rows grey; such
        // a picture is not the image, so it is refused like a truncated PNG. Other warnings
        // (stray bytes between segments) leave a whole picture and are let pass.
        if (problem == truncatedWarning) {
            error = "truncated JPEG data";
            return false;
        }
        if (tjGetErrorCode(decoder.handle) != TJERR_WARNING) {
            error = problem;
            return false;
        }
    }
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.hasAlpha = false;
    image.pixels = std::move(pixels);
    return true;
}

} // namespace tincrates

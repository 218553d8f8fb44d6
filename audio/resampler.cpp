// Rate conversion over libsoxr, whose band-limited filter keeps the high end free of the
// aliasing a decoder's own crude resampling adds.
#include "audio/resampler.h"

#include "platform/sound/audio_output.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

namespace tincrates {

bool resampleToOutputRate(std::span<const int16_t> in, uint32_t fromRate,
                          std::vector<int16_t>& out)
{
    size_t inFrames = in.size() / audioChannelCount;
    auto outFrames = size_t(std::llround(double(inFrames) * audioSampleRate / fromRate));
    // A stream may start with a stretch of no whole frames at some rate. libsoxr is never
    // asked to convert nothing: with no output room it is handed no buffer at all.
    if (outFrames == 0)
        return true;
    size_t oldSize = out.size();
    try {
        out.resize(oldSize + outFrames * audioChannelCount);
    } catch (const std::bad_alloc&) {
        return false;
    }
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    std::unique_ptr<soxr, void (*)(soxr_t)> converter(
        soxr_create(fromRate, audioSampleRate, audioChannelCount, &error, &io, &quality,
                    nullptr),
        soxr_delete);
    // Fed in pieces, so that libsoxr never holds more than a piece of converted sound: handed
    // the whole stream at once, it grows a buffer of all of it step by step, copying it anew
    // at each step where realloc cannot extend it in place.
    constexpr size_t piece = 65536; // frames
    size_t framesRead = 0;
    size_t framesWritten = 0;
    while (!error && converter && framesWritten < outFrames) {
        size_t count = std::min(piece, inFrames - framesRead);
        size_t done = 0;
        size_t written = 0;
        // A null input (after the last piece) drains the filter's tail.
        error = soxr_process(converter.get(),
                             count ? in.data() + framesRead * audioChannelCount : nullptr,
                             count, &done,
                             out.data() + oldSize + framesWritten * audioChannelCount,
                             outFrames - framesWritten, &written);
        framesRead += done;
        framesWritten += written;
        if (count == 0 && written == 0)
            break;
    }
    if (error || !converter) {
        out.resize(oldSize);
        return false;
    }
    // The filter's tail can fall a frame short of the rounded length; pad it with silence.
    std::fill(out.begin() + long(oldSize + framesWritten * audioChannelCount), out.end(), 0);
    return true;
}

} // namespace tincrates

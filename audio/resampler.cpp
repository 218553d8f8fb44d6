// Rate conversion over libsoxr, whose band-limited filter keeps the high end free of the
// aliasing a decoder's own crude resampling adds.
#include "audio/resampler.h"

#include "platform/audio_output.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
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
    size_t framesRead = 0;
    size_t framesWritten = 0;
    soxr_error_t error = soxr_oneshot(fromRate, audioSampleRate, audioChannelCount,
                                      in.data(), inFrames, &framesRead,
                                      out.data() + oldSize, outFrames, &framesWritten,
                                      &io, &quality, nullptr);
    if (error) {
        out.resize(oldSize);
        return false;
    }
    // The filter's tail can fall a frame short of the rounded length; pad it with silence.
    std::fill(out.begin() + long(oldSize + framesWritten * audioChannelCount), out.end(), 0);
    return true;
}

} // namespace tincrates

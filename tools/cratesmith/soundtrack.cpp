// A stand-in soundtrack: a click on every beat, so that the production plays in time.
#include "tools/cratesmith/soundtrack.h"

#include "tools/media/mp3_encoder.h"

#include <cmath>
#include <numbers>

namespace tincrates::cratesmith {

namespace {

constexpr int sampleRate = 44100;
constexpr double lengthSeconds = 110.0;
// One beat of the demo time: t counts music seconds × 2.149000040690104.
constexpr double secondsPerBeat = 1.0 / 2.149000040690104;

} // namespace

std::string makeSoundtrack()
{
    Pcm pcm;
    auto frames = size_t(lengthSeconds * sampleRate);
    pcm.samples.assign(frames * 2, 0);
    auto clickFrames = size_t(0.03 * sampleRate);
    for (int beat = 0;; ++beat) {
        auto start = size_t(std::llround(beat * secondsPerBeat * sampleRate));
        if (start >= frames)
            break;
        for (size_t n = 0; n < clickFrames && start + n < frames; ++n) {
            double seconds = double(n) / sampleRate;
            double value = 0.5 * std::exp(-seconds * 150.0)
                           * std::sin(2.0 * std::numbers::pi * 1500.0 * seconds);
            auto sample = int16_t(std::lround(value * 32767.0));
            pcm.samples[(start + n) * 2] = sample;
            pcm.samples[(start + n) * 2 + 1] = sample;
        }
    }
    return encodeMp3(pcm, 128, 2);
}

} // namespace tincrates::cratesmith

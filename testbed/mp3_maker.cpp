// Test sound made on the spot.
#include "testbed/mp3_maker.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <stdexcept>

namespace tincrates::testing {

Pcm makeSine(double frequencyHz, double seconds, double amplitude, int sampleRate, int channels)
{
    Pcm pcm{{}, sampleRate, channels};
    auto frames = size_t(seconds * sampleRate);
    pcm.samples.reserve(frames * size_t(channels));
    for (size_t n = 0; n < frames; ++n) {
        double value = amplitude * 32767.0
                       * std::sin(2.0 * std::numbers::pi * frequencyHz * double(n) / sampleRate);
        for (int c = 0; c < channels; ++c)
            pcm.samples.push_back(int16_t(std::lround(value)));
    }
    return pcm;
}

Pcm makeSilence(double seconds, int sampleRate, int channels)
{
    Pcm pcm{{}, sampleRate, channels};
    pcm.samples.assign(size_t(seconds * sampleRate) * size_t(channels), 0);
    return pcm;
}

Pcm makeNoise(double seconds, double amplitude, uint32_t seed)
{
    Pcm pcm;
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-amplitude * 32767.0, amplitude * 32767.0);
    pcm.samples.resize(size_t(seconds * pcm.sampleRate) * 2);
    for (auto& sample : pcm.samples)
        sample = int16_t(std::lround(uniform(generator)));
    return pcm;
}

} // namespace tincrates::testing

// Test sound made on the spot: sines, noise and silence, encoded to MP3 with LAME.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates::testing {

// Interleaved 16-bit samples of `channels` channels at `sampleRate`.
struct Pcm {
    std::vector<int16_t> samples;
    int sampleRate = 44100;
    int channels = 2;
};

// A sine of `frequencyHz` at `amplitude` (1.0 is full scale) in every channel.
Pcm makeSine(double frequencyHz, double seconds, double amplitude, int sampleRate = 44100,
             int channels = 2);

Pcm makeSilence(double seconds, int sampleRate = 44100, int channels = 2);

// Uniform white noise at `amplitude`, the same sequence for the same seed.
Pcm makeNoise(double seconds, double amplitude, uint32_t seed);

// Constant bit rate MP3 of `pcm`, at its own rate and channel count, with the encoder's tag
// frame written so that a decoder can trim the encoder's delay and padding.
std::string encodeMp3(const Pcm& pcm, int kilobitsPerSecond = 128);

} // namespace tincrates::testing

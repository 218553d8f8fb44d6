// Sound made on the spot for tests and benchmarks: sines, noise and silence, and the MP3 encoder to pack it.
#pragma once

#include "tools/media/mp3_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates::testing {

using tincrates::Pcm;
using tincrates::encodeMp3;

// A sine of `frequencyHz` at `amplitude` (1.0 is full scale) in every channel.
Pcm makeSine(double frequencyHz, double seconds, double amplitude, int sampleRate = 44100,
             int channels = 2);

Pcm makeSilence(double seconds, int sampleRate = 44100, int channels = 2);

// Uniform white noise at `amplitude`, the same sequence for the same seed.
Pcm makeNoise(double seconds, double amplitude, uint32_t seed);

} // namespace tincrates::testing

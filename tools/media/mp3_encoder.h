// MP3 encoding through LAME.
#pragma once

#include "platform/sound/audio_output.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates {

// Interleaved 16-bit samples of `channels` channels at `sampleRate`.
struct Pcm {
    std::vector<int16_t> samples;
    int sampleRate = int(audioSampleRate);
    int channels = int(audioChannelCount);
};

// Constant bit rate MP3 of `pcm`, at its own rate and channel count, with the encoder's tag
// frame written so that a decoder can trim the encoder's delay and padding. `quality` is
// LAME's: 0 best and slowest, 9 worst and fastest. The same input gives the same bytes.
// Throws std::runtime_error when LAME refuses the settings or the sound.
std::string encodeMp3(const Pcm& pcm, int kilobitsPerSecond = 128, int quality = 7);

} // namespace tincrates

// Writer side of the RAR 2.0 multimedia mode: the decoder's adaptive predictors run forward,
// turning each byte into the prediction error the decoder will turn back into it.
#pragma once

#include "datafiles/rar20_audio_predictor.h"

#include <array>
#include <cstdint>

namespace tincrates::rar20 {

// The audio state the decoder carries from byte to byte, member to member in a solid run.
class AudioEncoder {
public:
    // Starts an audio block of `channels` (1 to 4) as the decoder does on reading its tables.
    void startBlock(int channels);

    // Returns the symbol (0 to 255) that makes the decoder output `byte` on the current
    // channel, and moves every piece of state on exactly as the decoder will.
    uint8_t encode(uint8_t byte);

    int currentChannel() const { return channel; }

private:
    std::array<rar::AudioPredictor, 4> predictors{};
    int32_t channelDelta = 0; // shared by all channels
    int channel = 0;
    int channelCount = 1;
};

} // namespace tincrates::rar20

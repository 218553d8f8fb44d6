// Writer side of the RAR 2.0 multimedia mode: the decoder's adaptive predictors run forward,
// turning each byte into the prediction error the decoder will turn back into it.
#pragma once

#include <array>
#include <cstdint>

namespace tincrates::rar20 {

// One channel's predictor, field for field the state the decoder keeps.
struct AudioPredictor {
    int32_t K1 = 0, K2 = 0, K3 = 0, K4 = 0, K5 = 0;
    int32_t D1 = 0, D2 = 0, D3 = 0, D4 = 0;
    int32_t lastDelta = 0;
    std::array<uint32_t, 11> dif{};
    uint32_t byteCount = 0;
    uint32_t lastChar = 0;
};

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
    std::array<AudioPredictor, 4> predictors{};
    int32_t channelDelta = 0; // shared by all channels
    int channel = 0;
    int channelCount = 1;
};

} // namespace tincrates::rar20

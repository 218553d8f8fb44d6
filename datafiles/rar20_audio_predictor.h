// The adaptive predictor of the RAR 2.0 multimedia mode, shared by the decoder and the
// archiver so that both sides move it on in exactly the same way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tincrates::rar {

// One channel's predictor: weights, past deltas and the error sums that steer the weights.
struct AudioPredictor {
    int32_t K1 = 0, K2 = 0, K3 = 0, K4 = 0, K5 = 0;
    int32_t D1 = 0, D2 = 0, D3 = 0, D4 = 0;
    int32_t lastDelta = 0;
    std::array<uint32_t, 11> dif{};
    uint32_t byteCount = 0;
    int32_t lastChar = 0; // only the low 8 bits matter
};

// Steps the predictor to its next byte and returns the predicted byte (0 to 255).
// `channelDelta` is the delta of the last byte of any channel.
inline int32_t predictNextByte(AudioPredictor& v, int32_t channelDelta)
{
    ++v.byteCount;
    v.D4 = v.D3;
    v.D3 = v.D2;
    v.D2 = v.lastDelta - v.D1;
    v.D1 = v.lastDelta;
    int32_t predicted = 8 * v.lastChar + v.K1 * v.D1 + v.K2 * v.D2 + v.K3 * v.D3 + v.K4 * v.D4
        + v.K5 * channelDelta;
    return (predicted >> 3) & 0xFF;
}

// Takes in the byte that came out (`actual`) and the coded prediction error (`symbol`, the
// predicted byte minus the actual one, mod 256): updates the deltas and, every 32nd byte of
// the channel, moves the weight whose change would have erred least by one step.
inline void learnByte(AudioPredictor& v, int32_t& channelDelta, uint8_t symbol, uint8_t actual)
{
    auto absolute = [](int32_t value) { return value < 0 ? uint32_t(-value) : uint32_t(value); };
    int32_t error = int32_t(int8_t(symbol)) * 8;
    v.dif[0] += absolute(error);
    v.dif[1] += absolute(error - v.D1);
    v.dif[2] += absolute(error + v.D1);
    v.dif[3] += absolute(error - v.D2);
    v.dif[4] += absolute(error + v.D2);
    v.dif[5] += absolute(error - v.D3);
    v.dif[6] += absolute(error + v.D3);
    v.dif[7] += absolute(error - v.D4);
    v.dif[8] += absolute(error + v.D4);
    v.dif[9] += absolute(error - channelDelta);
    v.dif[10] += absolute(error + channelDelta);

    channelDelta = v.lastDelta = int8_t(uint8_t(actual - v.lastChar));
    v.lastChar = actual;

    if ((v.byteCount & 31) != 0)
        return;
    std::size_t best = 0;
    for (std::size_t i = 1; i < v.dif.size(); ++i)
        if (v.dif[i] < v.dif[best])
            best = i;
    v.dif.fill(0);
    if (best == 0)
        return;
    int32_t* weights[] = {&v.K1, &v.K2, &v.K3, &v.K4, &v.K5};
    int32_t& k = *weights[(best - 1) / 2];
    if (best % 2 == 1) {
        if (k >= -16)
            --k;
    } else if (k < 16) {
        ++k;
    }
}

} // namespace tincrates::rar

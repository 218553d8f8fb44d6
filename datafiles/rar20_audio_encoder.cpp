// Writer side of the RAR 2.0 multimedia mode.
#include "datafiles/rar20_audio_encoder.h"

#include <cassert>
#include <cstdlib>

namespace tincrates::rar20 {

void AudioEncoder::startBlock(int channels)
{
    assert(channels >= 1 && channels <= 4);
    channelCount = channels;
    if (channel >= channels)
        channel = 0;
}

uint8_t AudioEncoder::encode(uint8_t byte)
{
    AudioPredictor& v = predictors[size_t(channel)];
    ++v.byteCount;
    v.D4 = v.D3;
    v.D3 = v.D2;
    v.D2 = v.lastDelta - v.D1;
    v.D1 = v.lastDelta;
    int32_t predicted = 8 * int32_t(v.lastChar) + v.K1 * v.D1 + v.K2 * v.D2 + v.K3 * v.D3
        + v.K4 * v.D4 + v.K5 * channelDelta;
    predicted = (predicted >> 3) & 0xFF;
    uint8_t symbol = uint8_t(predicted - byte);
    uint32_t ch = uint32_t(predicted - symbol) & 0xFF; // == byte

    int32_t error = int32_t(int8_t(symbol)) * 8;
    v.dif[0] += uint32_t(std::abs(error));
    v.dif[1] += uint32_t(std::abs(error - v.D1));
    v.dif[2] += uint32_t(std::abs(error + v.D1));
    v.dif[3] += uint32_t(std::abs(error - v.D2));
    v.dif[4] += uint32_t(std::abs(error + v.D2));
    v.dif[5] += uint32_t(std::abs(error - v.D3));
    v.dif[6] += uint32_t(std::abs(error + v.D3));
    v.dif[7] += uint32_t(std::abs(error - v.D4));
    v.dif[8] += uint32_t(std::abs(error + v.D4));
    v.dif[9] += uint32_t(std::abs(error - channelDelta));
    v.dif[10] += uint32_t(std::abs(error + channelDelta));

    v.lastDelta = channelDelta = int8_t(uint8_t(ch - v.lastChar));
    v.lastChar = ch;

    // Every 32 bytes the weight whose change would have erred least moves one step.
    if ((v.byteCount & 31) == 0) {
        size_t best = 0;
        for (size_t i = 1; i < v.dif.size(); ++i) {
            if (v.dif[i] < v.dif[best])
                best = i;
        }
        v.dif.fill(0);
        int32_t* weights[5] = {&v.K1, &v.K2, &v.K3, &v.K4, &v.K5};
        if (best > 0) {
            int32_t& k = *weights[(best - 1) / 2];
            if (best % 2 == 1) {
                if (k >= -16)
                    --k;
            } else if (k < 16) {
                ++k;
            }
        }
    }
    if (++channel >= channelCount)
        channel = 0;
    return symbol;
}

} // namespace tincrates::rar20

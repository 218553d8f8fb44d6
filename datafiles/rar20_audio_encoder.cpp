// Writer side of the RAR 2.0 multimedia mode.
#include "datafiles/rar20_audio_encoder.h"

#include <cassert>

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
    rar::AudioPredictor& v = predictors[std::size_t(channel)];
    // The decoder outputs predicted - symbol, so the symbol is predicted - byte.
    uint8_t symbol = uint8_t(rar::predictNextByte(v, channelDelta) - byte);
    rar::learnByte(v, channelDelta, symbol, byte);
    if (++channel >= channelCount)
        channel = 0;
    return symbol;
}

} // namespace tincrates::rar20

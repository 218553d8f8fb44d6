#include "datafiles/rar20_audio_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tincrates::rar20 {
namespace {

TEST(AudioEncoder, LearnsASteadySlopeUntilTheErrorsVanish)
{
    AudioEncoder encoder;
    encoder.startBlock(1);
    int lateErrors = 0;
    for (int i = 0; i < 4000; ++i) {
        uint8_t symbol = encoder.encode(uint8_t(i * 3));
        if (i >= 3000)
            lateErrors += std::abs(int(int8_t(symbol)));
    }
    EXPECT_EQ(lateErrors, 0);
}

TEST(AudioEncoder, CyclesThroughItsChannelsAndKeepsTheirPlaceAcrossBlocks)
{
    AudioEncoder encoder;
    encoder.startBlock(3);
    EXPECT_EQ(encoder.currentChannel(), 0);
    encoder.encode(1);
    encoder.encode(2);
    EXPECT_EQ(encoder.currentChannel(), 2);
    encoder.startBlock(4);
    EXPECT_EQ(encoder.currentChannel(), 2) << "a channel that still exists goes on";
    encoder.startBlock(2);
    EXPECT_EQ(encoder.currentChannel(), 0) << "one past the new count starts over";
}

TEST(AudioEncoder, InterleavedChannelsPredictEachOtherIndependently)
{
    // Two channels with different slopes, interleaved: each predictor learns its own.
    AudioEncoder encoder;
    encoder.startBlock(2);
    int lateErrors = 0;
    for (int i = 0; i < 8000; ++i) {
        uint8_t sample = i % 2 == 0 ? uint8_t(i / 2 * 5) : uint8_t(200 - i / 2 * 2);
        uint8_t symbol = encoder.encode(sample);
        if (i >= 6000)
            lateErrors += std::abs(int(int8_t(symbol)));
    }
    EXPECT_LT(lateErrors, 200);
}

} // namespace
} // namespace tincrates::rar20

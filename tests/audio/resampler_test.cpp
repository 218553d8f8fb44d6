#include "audio/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace tincrates {
namespace {

std::vector<int16_t> stereoSine(double frequencyHz, uint32_t rate, size_t frames)
{
    std::vector<int16_t> samples;
    for (size_t n = 0; n < frames; ++n) {
        double value = 16000.0 * std::sin(2.0 * std::numbers::pi * frequencyHz * n / rate);
        samples.push_back(int16_t(std::lround(value)));
        samples.push_back(int16_t(std::lround(value)));
    }
    return samples;
}

// Root mean square of the left channel away from both ends, where the filter settles.
double middleLevel(const std::vector<int16_t>& samples)
{
    double sum = 0.0;
    size_t count = 0;
    for (size_t i = samples.size() / 4 & ~size_t(1); i < samples.size() * 3 / 4; i += 2) {
        sum += double(samples[i]) * samples[i];
        ++count;
    }
    return std::sqrt(sum / double(count));
}

TEST(Resampler, OneSecondAtAnyRateBecomes44100Frames)
{
    for (uint32_t rate : {8000u, 22050u, 32000u, 48000u}) {
        std::vector<int16_t> out{9, 9};
        ASSERT_TRUE(resampleToOutputRate(stereoSine(440.0, rate, rate), rate, out));
        EXPECT_EQ(out.size(), 2u + 44100u * 2) << rate << " Hz";
        EXPECT_EQ(out[0], 9); // appended, not replaced
    }
}

TEST(Resampler, KeepsWhatFitsBelowTheNewNyquistAndDropsWhatDoesNot)
{
    std::vector<int16_t> kept;
    ASSERT_TRUE(resampleToOutputRate(stereoSine(1000.0, 48000, 24000), 48000, kept));
    EXPECT_NEAR(middleLevel(kept), 16000.0 / std::sqrt(2.0), 200.0);

    // 23 kHz cannot exist at 44.1 kHz; a crude resampler folds it down to 21.1 kHz.
    std::vector<int16_t> dropped;
    ASSERT_TRUE(resampleToOutputRate(stereoSine(23000.0, 48000, 24000), 48000, dropped));
    EXPECT_LT(middleLevel(dropped), 50.0);
}

TEST(Resampler, EmptyInputGivesNothing)
{
    std::vector<int16_t> out;
    EXPECT_TRUE(resampleToOutputRate({}, 22050, out));
    EXPECT_TRUE(out.empty());
}

TEST(Resampler, AStretchOfNoWholeFramesAppendsNothing)
{
    // One sample is half a stereo frame: nothing to convert, and libsoxr is not asked to.
    const int16_t halfFrame[1] = {1234};
    std::vector<int16_t> out;
    EXPECT_TRUE(resampleToOutputRate(halfFrame, 22050, out));
    EXPECT_TRUE(out.empty());
    std::vector<int16_t> kept{5, 6};
    EXPECT_TRUE(resampleToOutputRate(halfFrame, 48000, kept));
    EXPECT_EQ(kept, (std::vector<int16_t>{5, 6}));
}

} // namespace
} // namespace tincrates

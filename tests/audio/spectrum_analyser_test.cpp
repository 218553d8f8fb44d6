#include "audio/spectrum_analyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tincrates {
namespace {

std::vector<int16_t> stereoSine(double bin, double amplitude)
{
    std::vector<int16_t> frames(spectrumWindowFrames * 2);
    for (size_t n = 0; n < spectrumWindowFrames; ++n) {
        double phase = 2.0 * std::numbers::pi * bin * double(n) / spectrumWindowFrames;
        frames[2 * n] = frames[2 * n + 1] = int16_t(std::lround(amplitude * std::sin(phase)));
    }
    return frames;
}

TEST(SpectrumAnalyser, FullScaleSineAtABinCentreReadsOneHalfThere)
{
    SpectrumAnalyser analyser;
    float magnitudes[spectrumBinCount];
    auto frames = stereoSine(51, 32767);
    analyser.analyse(frames.data(), spectrumWindowFrames, magnitudes);
    EXPECT_NEAR(magnitudes[51], 0.5f, 0.001f);
    // The Hann window spreads a centred sine over its two neighbours only.
    EXPECT_NEAR(magnitudes[50], 0.25f, 0.001f);
    EXPECT_NEAR(magnitudes[52], 0.25f, 0.001f);
    EXPECT_LT(magnitudes[40], 1e-4f);
    EXPECT_LT(magnitudes[127], 1e-4f);
}

TEST(SpectrumAnalyser, MixesTheChannelsToMono)
{
    SpectrumAnalyser analyser;
    float magnitudes[spectrumBinCount];
    auto frames = stereoSine(20, 32767);
    for (size_t n = 0; n < spectrumWindowFrames; ++n)
        frames[2 * n + 1] = 0; // right channel silent: half the level in the mix
    analyser.analyse(frames.data(), spectrumWindowFrames, magnitudes);
    EXPECT_NEAR(magnitudes[20], 0.25f, 0.001f);

    for (size_t n = 0; n < spectrumWindowFrames; ++n)
        frames[2 * n + 1] = int16_t(-frames[2 * n]); // opposite phases cancel
    analyser.analyse(frames.data(), spectrumWindowFrames, magnitudes);
    EXPECT_LT(*std::max_element(magnitudes, magnitudes + spectrumBinCount), 1e-4f);
}

TEST(SpectrumAnalyser, ExtremeInputStaysWithinZeroToOne)
{
    SpectrumAnalyser analyser;
    float magnitudes[spectrumBinCount];
    std::vector<int16_t> frames(spectrumWindowFrames * 2, -32768);
    analyser.analyse(frames.data(), spectrumWindowFrames, magnitudes);
    EXPECT_NEAR(magnitudes[0], 1.0f, 1e-5f);
    // A full-scale square wave at the Nyquist rate, the worst case for the top bins.
    for (size_t n = 0; n < frames.size(); ++n)
        frames[n] = (n / 2) % 2 ? int16_t(-32768) : int16_t(32767);
    analyser.analyse(frames.data(), spectrumWindowFrames, magnitudes);
    for (float value : magnitudes) {
        EXPECT_GE(value, 0.0f);
        EXPECT_LE(value, 1.0f);
    }
}

TEST(SpectrumAnalyser, TreatsMissingFramesAsSilence)
{
    SpectrumAnalyser analyser;
    float magnitudes[spectrumBinCount];
    std::fill(magnitudes, magnitudes + spectrumBinCount, 7.0f);
    analyser.analyse(nullptr, 0, magnitudes);
    EXPECT_EQ(*std::max_element(magnitudes, magnitudes + spectrumBinCount), 0.0f);

    // Half a window of full-scale DC: the window's first half holds half its weight.
    std::vector<int16_t> frames(spectrumWindowFrames, 32767);
    analyser.analyse(frames.data(), spectrumWindowFrames / 2, magnitudes);
    EXPECT_NEAR(magnitudes[0], 0.5f, 0.01f);
}

} // namespace
} // namespace tincrates

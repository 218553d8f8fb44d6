// The synthesiser's measuring and mastering against signals whose answers are known: the
// loudness of a calibration tone, the peak between samples, the limiter's ceiling.
#include "tools/cratesmith/sound/synth_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tincrates::cratesmith {
namespace {

StereoBuffer sine(double hz, double amplitude, double seconds, double phase = 0.0)
{
    StereoBuffer buffer(size_t(seconds * synthRate));
    for (size_t n = 0; n < buffer.frames(); ++n) {
        auto value = float(amplitude * std::sin(2.0 * std::numbers::pi * hz * double(n)
                                                / synthRate + phase));
        buffer.left[n] = value;
        buffer.right[n] = value;
    }
    return buffer;
}

double decibels(double linear) { return 20.0 * std::log10(linear); }

TEST(Loudness, CalibrationToneReadsItsOwnLevel)
{
    // A 997 Hz tone at -20 dBFS on both sides reads -20 LUFS, whatever its length.
    EXPECT_NEAR(integratedLoudness(sine(997.0, 0.1, 5.0)), -20.0, 0.15);
    EXPECT_NEAR(integratedLoudness(sine(997.0, 0.1, 30.0)), -20.0, 0.15);
}

TEST(Loudness, WeighsTheTopUpAndTheDeepBassDown)
{
    double middle = integratedLoudness(sine(997.0, 0.1, 5.0));
    EXPECT_GT(integratedLoudness(sine(4000.0, 0.1, 5.0)), middle + 2.5);
    EXPECT_LT(integratedLoudness(sine(30.0, 0.1, 5.0)), middle - 3.0);
}

TEST(Loudness, QuietPassagesAreGatedOut)
{
    StereoBuffer loudThenQuiet = sine(997.0, 0.1, 10.0);
    StereoBuffer quiet = sine(997.0, 0.001, 10.0);
    size_t half = loudThenQuiet.frames();
    loudThenQuiet.left.insert(loudThenQuiet.left.end(), quiet.left.begin(), quiet.left.end());
    loudThenQuiet.right.insert(loudThenQuiet.right.end(), quiet.right.begin(),
                               quiet.right.end());
    ASSERT_EQ(loudThenQuiet.frames(), 2 * half);
    EXPECT_NEAR(integratedLoudness(loudThenQuiet), -20.0, 0.2);
    EXPECT_EQ(integratedLoudness(StereoBuffer(44100)), -70.0);
}

TEST(TruePeak, FindsThePeakBetweenSamples)
{
    // A quarter of the sample rate, a quarter turn off: every sample sits at 0.707 of the
    // crest, which falls halfway between two samples.
    StereoBuffer tone = sine(synthRate / 4.0, 0.5, 1.0, std::numbers::pi / 4.0);
    EXPECT_NEAR(std::abs(tone.left[1000]), 0.3536, 0.001);
    EXPECT_NEAR(truePeak(tone), 0.5, 0.01);
}

TEST(Limiter, KeepsPeaksUnderTheCeilingAndLeavesQuietPartsAlone)
{
    StereoBuffer music = sine(220.0, 0.3, 4.0);
    // A burst four times too loud in the middle second.
    for (size_t n = 44100; n < 88200; ++n) {
        music.left[n] *= 4.0f;
        music.right[n] *= 4.0f;
    }
    StereoBuffer original = music;
    const double ceiling = std::pow(10.0, -3.0 / 20.0);
    limitPeaks(music, ceiling, 0.003, 0.06);

    EXPECT_LE(decibels(truePeak(music)), -3.0 + 0.05);
    // The burst is brought down to the ceiling, not below it by much.
    EXPECT_GT(decibels(truePeak(music)), -3.5);
    // Well before the burst, and once the release is over, nothing has changed.
    for (size_t n : {size_t(1000), size_t(40000), size_t(150000)})
        EXPECT_FLOAT_EQ(music.left[n], original.left[n]) << n;
}

TEST(Ducking, DipsAtEachKickAndRecovers)
{
    StereoBuffer steady(44100);
    std::fill(steady.left.begin(), steady.left.end(), 1.0f);
    std::fill(steady.right.begin(), steady.right.end(), 1.0f);
    duckUnderKicks(steady, {10000}, 0.8, 0.1);
    EXPECT_FLOAT_EQ(steady.left[9999], 1.0f);
    EXPECT_NEAR(steady.left[10000 + 132], 0.2, 0.01); // the 3 ms dip is complete
    EXPECT_GT(steady.left[10000 + 44100 / 2 - 1], 0.98f);
}

} // namespace
} // namespace tincrates::cratesmith

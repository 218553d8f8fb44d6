// The synthesiser's parts the soundtrack relies on: oscillators, the kick and hats as the
// picture hears them, the echo and the room, and the measures the other tests use.
#include "tools/cratesmith/sound/music_measures.h"
#include "tools/cratesmith/sound/music_score.h"
#include "tools/cratesmith/sound/synth_effects.h"
#include "tools/cratesmith/sound/synth_voices.h"

#include "audio/spectrum_analyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tincrates::cratesmith {
namespace {

// The magnitude of `samples` at `hz`, Hann-windowed, 1.0 for a full-scale sine.
double magnitudeAt(const std::vector<float>& samples, double hz)
{
    double re = 0.0, im = 0.0, windowSum = 0.0;
    for (size_t n = 0; n < samples.size(); ++n) {
        double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(n) / samples.size());
        double phase = 2.0 * std::numbers::pi * hz * double(n) / synthRate;
        re += w * samples[n] * std::cos(phase);
        im -= w * samples[n] * std::sin(phase);
        windowSum += w;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

// The production's spectrum of 512 frames of `sound` from `frame`, as the picture gets it.
std::vector<float> spectrumOf(const StereoBuffer& sound, size_t frame)
{
    std::vector<int16_t> frames(2 * spectrumWindowFrames, 0);
    for (size_t n = 0; n < spectrumWindowFrames && frame + n < sound.frames(); ++n) {
        frames[2 * n] = int16_t(std::lround(sound.left[frame + n] * 32767.0));
        frames[2 * n + 1] = int16_t(std::lround(sound.right[frame + n] * 32767.0));
    }
    std::vector<float> magnitudes(spectrumBinCount);
    SpectrumAnalyser().analyse(frames.data(), spectrumWindowFrames, magnitudes.data());
    return magnitudes;
}

TEST(SynthOscillators, TableSineMatchesTheLibrarysSine)
{
    for (double phase = -3.0; phase < 3.0; phase += 0.000731)
        ASSERT_NEAR(sineOfTurns(phase), std::sin(2.0 * std::numbers::pi * phase), 2e-6) << phase;
}

TEST(SynthOscillators, SawKeepsItsHarmonicsAndFoldsLittleBack)
{
    // A 5 kHz saw: its harmonics are at 5, 10 and 15 kHz; the 8th (40 kHz) folds back to
    // 4.1 kHz, where a naive ramp would leave an eighth of the fundamental.
    SawOscillator saw;
    std::vector<float> samples(44100);
    for (float& sample : samples)
        sample = float(saw.next(5000.0));
    double fundamental = magnitudeAt(samples, 5000.0);
    EXPECT_NEAR(fundamental, 2.0 / std::numbers::pi, 0.05);
    EXPECT_NEAR(magnitudeAt(samples, 10000.0) / fundamental, 0.5, 0.1);
    EXPECT_LT(magnitudeAt(samples, 4100.0) / fundamental, 0.02);
}

TEST(SynthDrums, KickStartsAtOnceAndIsOverBeforeTheNextBeat)
{
    StereoBuffer kick = makeKick();
    EXPECT_LT(kickSeconds, secondsOfBeats(1.0));
    EXPECT_EQ(kick.frames(), size_t(std::lround(kickSeconds * synthRate)));
    // Within a millisecond of its first frame it is at its full swing.
    float early = 0.0f;
    for (size_t n = 0; n < 44; ++n)
        early = std::max(early, std::abs(kick.left[n]));
    EXPECT_GT(early, 0.3f);
    EXPECT_LT(std::abs(kick.left.back()), 1e-3f);
}

TEST(SynthDrums, HatsOpenTheCameraAndBarelyRollIt)
{
    // The open hat's attack, as the picture's spectrum sees it: the zoom bin stands out
    // above its neighbours, and the roll bin stays well below it.
    StereoBuffer hat = makeHat(0.075, 1);
    auto spectrum = spectrumOf(hat, 0);
    auto loudestNearZoom = std::max_element(spectrum.begin() + 40, spectrum.begin() + 62);
    EXPECT_EQ(loudestNearZoom - spectrum.begin(), long(fieldOfViewBin));
    EXPECT_GT(spectrum[fieldOfViewBin], 0.05f);
    EXPECT_LT(spectrum[rollBin], 0.5f * spectrum[fieldOfViewBin]);
}

TEST(SynthEffects, EchoAlternatesSidesAndFades)
{
    StereoBuffer click(44100);
    click.left[0] = click.right[0] = 1.0f;
    PingPongDelay delay;
    delay.delaySeconds = 0.1;
    delay.feedback = 0.5;
    delay.lowCutHz = 1.0; // keep the click whole enough to find
    StereoBuffer echo = delay.process(click);
    auto energy = [&](const std::vector<float>& side, size_t from) {
        double sum = 0.0;
        for (size_t n = from; n < from + 441; ++n)
            sum += double(side[n]) * side[n];
        return sum;
    };
    EXPECT_EQ(energy(echo.left, 0) + energy(echo.right, 0), 0.0);    // no dry sound
    EXPECT_GT(energy(echo.right, 4410), 100.0 * energy(echo.left, 4410)); // first on the right
    EXPECT_GT(energy(echo.left, 8820), 100.0 * energy(echo.right, 8820)); // then the left
    EXPECT_LT(energy(echo.left, 8820), energy(echo.right, 4410));       // quieter
}

TEST(SynthEffects, RoomTailFallsBy60DbInItsDecayTime)
{
    StereoBuffer click(size_t(4.0 * synthRate));
    click.left[0] = click.right[0] = 1.0f;
    Reverb room;
    room.decaySeconds = 1.5;
    StereoBuffer tail = room.process(click);
    auto levelDb = [&](double seconds) {
        auto from = size_t(seconds * synthRate);
        double sum = 0.0;
        for (size_t n = from; n < from + 4410; ++n)
            sum += double(tail.left[n]) * tail.left[n] + double(tail.right[n]) * tail.right[n];
        return 10.0 * std::log10(sum);
    };
    // Measured from 0.2 s, once the room is dense; damping makes it fall a little faster.
    double fall = levelDb(0.2) - levelDb(1.7);
    EXPECT_GT(fall, 50.0);
    EXPECT_LT(fall, 85.0);
    // Both sides carry the tail, differently.
    EXPECT_NE(tail.left[20000], tail.right[20000]);
}

TEST(SoundtrackMeasures, FindTheKickUnderOtherSound)
{
    const size_t frames = 20000, placed = 10037;
    StereoBuffer mix(frames);
    playSound(mix, makeKick(), placed, 0.5);
    Random noise(3);
    for (size_t n = 0; n < frames; ++n) {
        mix.left[n] += float(0.1 * noise.bipolar());
        mix.right[n] += float(0.1 * noise.bipolar());
    }
    std::vector<int16_t> stereo(2 * frames);
    for (size_t n = 0; n < frames; ++n) {
        stereo[2 * n] = int16_t(std::lround(mix.left[n] * 32767.0));
        stereo[2 * n + 1] = int16_t(std::lround(mix.right[n] * 32767.0));
    }
    // The kick's deep attack makes a broad match; noise may move it by a frame or two.
    EXPECT_NEAR(kickOffsetFrames(stereo, 10000, 1323), 37, 2);
    EXPECT_GT(kickBodyEnergy(stereo, placed), 20.0 * kickBodyEnergy(stereo, placed - 5000));
}

TEST(SoundtrackMeasures, SpreadUsesNearestRanks)
{
    std::vector<double> values;
    for (int i = 100; i >= 1; --i)
        values.push_back(i);
    Spread spread = spreadOf(values);
    EXPECT_EQ(spread.minimum, 1.0);
    EXPECT_EQ(spread.median, 50.0);
    EXPECT_EQ(spread.percentile95, 95.0);
    EXPECT_EQ(spread.maximum, 100.0);
    EXPECT_EQ(spreadOf({}).maximum, 0.0);
}

} // namespace
} // namespace tincrates::cratesmith

// The soundtrack the build generated, played the way the production plays it: through the
// music stream, on a silent clock, with its positions and spectrum. Its length, where its
// kicks land, how it moves the camera, and its level.
#include "audio/bass.h"
#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "testbed/scratch_dir.h"
#include "tools/cratesmith/sound/music_measures.h"
#include "tools/cratesmith/sound/synth_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace tincrates::cratesmith {
namespace {

namespace fs = std::filesystem;

constexpr double demoTimePerSecond = beatsPerSecond;
constexpr float endOfProduction = endTime;
constexpr uint64_t bytesPerFrameAt60 = audioBytesPerSecond / 60;

float demoTimeAt(double seconds) { return float(seconds * demoTimePerSecond); }

// The frame at which the demo time reaches `t`.
size_t frameOfDemoTime(double t) { return size_t(std::ceil(t / demoTimePerSecond * 44100.0)); }

// The generated soundtrack, loaded and playing on a silent clock at position 0.
class GeneratedSoundtrack : public ::testing::Test {
protected:
    GeneratedSoundtrack()
    {
        fs::create_directories(scratch.path / "data");
        fs::copy_file(fs::path(PRODUCTION_DIR) / "data" / "soundtrk.mp3",
                      scratch.path / "data" / "soundtrk.mp3");
        music.load("soundtrk.mp3", 0.0);
        music.play();
    }

    // The sound from the current position on, up to `byteCount` bytes.
    std::vector<int16_t> soundFromHere(size_t byteCount)
    {
        std::vector<int16_t> pcm(byteCount / 2);
        DWORD copied = BASS_ChannelGetData(music.stream, pcm.data(), DWORD(byteCount));
        pcm.resize(copied == DWORD(-1) ? 0 : copied / 2);
        return pcm;
    }

    void moveTo(uint64_t byte)
    {
        ASSERT_GE(byte, clock.position());
        clock.stepTo(byte);
    }

    testing::ScratchDir scratch;
    SelectedSilentClock clock;
    MusicStream music{nullptr};
};

TEST_F(GeneratedSoundtrack, LastsBeyondTheEndOfTheProductionAndIsSilentFromThere)
{
    auto pcm = soundFromHere(size_t(200 * MusicStream::bytesPerSecond));
    double seconds = double(pcm.size() / 2) / 44100.0;
    EXPECT_GE(seconds, 110.0);
    EXPECT_LT(seconds, 112.0);

    // The fade reaches silence at t = 232 (a decoder's ripple of a few steps aside).
    int loudestAfterEnd = 0;
    for (size_t i = 2 * frameOfDemoTime(endOfProduction); i < pcm.size(); ++i)
        loudestAfterEnd = std::max(loudestAfterEnd, std::abs(int(pcm[i])));
    EXPECT_LE(loudestAfterEnd, 8);
}

TEST_F(GeneratedSoundtrack, EveryKickFromTheFirstFlashLandsWithin5MsOfItsBeat)
{
    const size_t search = 1323; // 30 ms either side
    for (int beat = 8; beat < 232; ++beat) {
        // Stand 30 ms before the beat, as the stream's position tells it.
        moveTo(uint64_t(frameOfDemoTime(beat) - search) * 4);
        uint64_t here = BASS_ChannelGetPosition(music.stream);
        auto pcm = soundFromHere((2 * search + kickAttackFrames + 1) * 4);
        long lag = kickOffsetFrames(pcm, search, search);
        uint64_t kickByte = here + uint64_t(long(search) + lag) * 4;
        float kickT = demoTimeAt(double(kickByte) * MusicStream::secondsPerByte);
        EXPECT_NEAR((kickT - float(beat)) / demoTimePerSecond, 0.0, 0.005) << "beat " << beat;
    }
}

TEST_F(GeneratedSoundtrack, KickBandIsStrongOnTheBeatAndNotHalfABeatLater)
{
    auto pcm = soundFromHere(size_t(200 * MusicStream::bytesPerSecond));
    double onBeats = 0.0, halfBeatsLater = 0.0;
    for (int beat = 8; beat < 200; ++beat) {
        double on = kickBodyEnergy(pcm, frameOfDemoTime(beat));
        double half = kickBodyEnergy(pcm, frameOfDemoTime(beat + 0.5));
        EXPECT_GT(on, half) << "beat " << beat;
        onBeats += on;
        halfBeatsLater += half;
    }
    EXPECT_GT(onBeats, 3.0 * halfBeatsLater);
}

TEST_F(GeneratedSoundtrack, IntroHasNoKickBeforeTheFirstFlash)
{
    auto pcm = soundFromHere(size_t(10 * MusicStream::bytesPerSecond));
    double firstKick = kickBodyEnergy(pcm, frameOfDemoTime(8));
    for (int beat = 1; beat < 8; ++beat)
        EXPECT_LT(kickBodyEnergy(pcm, frameOfDemoTime(beat)), 0.05 * firstKick)
            << "beat " << beat;
}

TEST_F(GeneratedSoundtrack, CameraZoomPulsesWithinItsRangeAndRollStaysGentle)
{
    std::vector<double> fieldOfView, roll;
    for (uint64_t frame = 0;; ++frame) {
        if (demoTimeAt(music.positionSeconds()) > endOfProduction)
            break;
        music.fetchSpectrum();
        fieldOfView.push_back(fieldOfViewDegrees(music.spectrum[fieldOfViewBin]));
        roll.push_back(rollRadians(music.spectrum[rollBin]));
        moveTo((frame + 1) * bytesPerFrameAt60);
    }
    ASSERT_GT(fieldOfView.size(), 6400u); // 108 seconds at 60 frames per second

    Spread zoom = spreadOf(fieldOfView);
    EXPECT_LE(zoom.median, 95.0);
    EXPECT_LE(zoom.percentile95, 130.0);
    EXPECT_LE(zoom.maximum, 160.0);
    // It does move: the hats open the view well beyond its resting 80 degrees.
    EXPECT_GE(zoom.percentile95, 95.0);

    Spread tilt = spreadOf(roll);
    EXPECT_LE(tilt.percentile95, 0.1);
    EXPECT_LE(tilt.maximum, 0.2);
}

TEST_F(GeneratedSoundtrack, IsMasteredNearMinus14LufsWithPeaksBelowMinus1Dbfs)
{
    auto pcm = soundFromHere(size_t(200 * MusicStream::bytesPerSecond));
    StereoBuffer decoded(pcm.size() / 2);
    for (size_t n = 0; n < decoded.frames(); ++n) {
        decoded.left[n] = float(pcm[2 * n] / 32768.0);
        decoded.right[n] = float(pcm[2 * n + 1] / 32768.0);
    }
    EXPECT_NEAR(integratedLoudness(decoded), -14.0, 0.5);
    EXPECT_LE(20.0 * std::log10(truePeak(decoded)), -1.0);
}

} // namespace
} // namespace tincrates::cratesmith

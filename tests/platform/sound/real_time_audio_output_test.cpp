// Without a sound card, the soundtrack's position still moves with the wall clock.
#include "platform/sound/real_time_audio_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    RealTimeAudioOutput::Clock function()
    {
        return [this] { return now; };
    }
};

TEST(RealTimeAudioOutput, StandsStillUntilPlayed)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond * 4);
    output.setSound(sound);
    clock.now += 2s;
    EXPECT_EQ(output.position(), 0u);
}

TEST(RealTimeAudioOutput, AdvancesOneSecondOfSoundPerSecondInWholeFrames)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond * 4);
    output.setSound(sound);
    output.play();
    clock.now += 1s;
    EXPECT_EQ(output.position(), audioBytesPerSecond);
    clock.now += 10ms;
    EXPECT_EQ(output.position(), audioBytesPerSecond + 441 * audioBytesPerFrame);
    clock.now += 3us; // a fraction of a frame
    EXPECT_EQ(output.position() % audioBytesPerFrame, 0u);
}

TEST(RealTimeAudioOutput, StopsAtTheEndOfTheSound)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond / 2);
    output.setSound(sound);
    output.play();
    clock.now += 1h;
    EXPECT_EQ(output.position(), sound.size());
}

TEST(RealTimeAudioOutput, PauseStopsTheClockUntilPlayedAgain)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond * 4);
    output.setSound(sound);
    output.play();
    clock.now += 1s;
    output.pause();
    clock.now += 10s;
    EXPECT_EQ(output.position(), audioBytesPerSecond);
    output.seek(0); // moved while paused: stays put
    clock.now += 1s;
    EXPECT_EQ(output.position(), 0u);
    output.play();
    clock.now += 2s;
    EXPECT_EQ(output.position(), 2 * audioBytesPerSecond);
}

TEST(RealTimeAudioOutput, SeekMovesTheStartAndKeepsPlaying)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond * 4);
    output.setSound(sound);
    output.play();
    clock.now += 1s;
    output.seek(2 * audioBytesPerSecond + 2); // not on a frame: rounded down
    EXPECT_EQ(output.position(), 2 * audioBytesPerSecond);
    clock.now += 1s;
    EXPECT_EQ(output.position(), 3 * audioBytesPerSecond);
    output.seek(uint64_t(1) << 40);
    EXPECT_EQ(output.position(), sound.size());
}

TEST(RealTimeAudioOutput, ANewSoundStartsAtZeroNotPlaying)
{
    FakeClock clock;
    RealTimeAudioOutput output(clock.function());
    std::vector<uint8_t> sound(audioBytesPerSecond * 4);
    output.setSound(sound);
    output.play();
    clock.now += 1s;
    output.setSound(sound);
    clock.now += 1s;
    EXPECT_EQ(output.position(), 0u);
    output.setSound({});
    output.play();
    clock.now += 1s;
    EXPECT_EQ(output.position(), 0u);
}

TEST(RealTimeAudioOutput, RunsOnTheSteadyClockByDefault)
{
    RealTimeAudioOutput output;
    std::vector<uint8_t> sound(audioBytesPerSecond * 60);
    output.setSound(sound);
    output.play();
    uint64_t first = output.position();
    uint64_t later = output.position();
    EXPECT_LE(first, later);
    EXPECT_LT(later, sound.size());
}

} // namespace
} // namespace tincrates

#include "platform/sound/sdl_audio_output.h"

#include "audio/music_stream.h"
#include "testbed/mp3_maker.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace tincrates {
namespace {

using namespace std::chrono_literals;

// SDL's dummy driver consumes sound in real time without a sound card.
void useDummyAudioDriver() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

// What a poll of the clock saw while the sound played.
struct Observed {
    bool sawItMidway = false; // strictly between the start and `end`
    bool wentBackwards = false;
    double last = 0.0;
};

// Polls `position` until it has stood at `end` for a while, or `limit` passes.
template <typename Position>
Observed watchTheClock(Position position, double end, std::chrono::milliseconds limit)
{
    Observed seen;
    auto deadline = std::chrono::steady_clock::now() + limit;
    int pollsAtTheEnd = 0;
    while (std::chrono::steady_clock::now() < deadline && pollsAtTheEnd < 10) {
        std::this_thread::sleep_for(10ms);
        double now = position();
        seen.sawItMidway |= now > 0.0 && now < end;
        seen.wentBackwards |= now < seen.last;
        pollsAtTheEnd = std::abs(now - end) < 1e-9 ? pollsAtTheEnd + 1 : 0;
        seen.last = now;
    }
    return seen;
}

TEST(SdlAudioOutput, PlaysThroughTheDeviceAndStopsAtTheEnd)
{
    useDummyAudioDriver();
    std::vector<uint8_t> sound(176400 / 2, 1); // half a second
    SdlAudioOutput output;
    output.setSound(sound);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(output.position(), 0u); // not playing yet
    output.play();
    auto seen = watchTheClock([&] { return double(output.position()); }, double(sound.size()),
                              5s);
    EXPECT_TRUE(seen.sawItMidway);
    EXPECT_FALSE(seen.wentBackwards);
    EXPECT_EQ(seen.last, double(sound.size()));
}

TEST(SdlAudioOutput, PausedItHoldsItsPlaceWhileTheDeviceRunsOn)
{
    useDummyAudioDriver();
    std::vector<uint8_t> sound(176400 * 2, 1); // two seconds
    SdlAudioOutput output;
    output.setSound(sound);
    output.play();
    std::this_thread::sleep_for(200ms);
    output.pause();
    uint64_t held = output.position();
    EXPECT_GT(held, 0u);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(output.position(), held);
    output.play();
    auto seen = watchTheClock([&] { return double(output.position()); }, double(sound.size()),
                              8s);
    EXPECT_FALSE(seen.wentBackwards);
    EXPECT_EQ(seen.last, double(sound.size()));
}

TEST(SdlAudioOutput, MusicStreamPlaysOnTheRealOutputPath)
{
    useDummyAudioDriver();
    testing::ScratchDir dir;
    dir.write("data/soundtrk.mp3", testing::encodeMp3(testing::makeSine(440.0, 0.5, 0.5)));
    MusicStream music(nullptr);
    music.load("soundtrk.mp3", 0.0);
    music.play();
    auto seen = watchTheClock([&] { return music.positionSeconds(); }, 0.5, 5s);
    EXPECT_TRUE(seen.sawItMidway);
    EXPECT_FALSE(seen.wentBackwards);
    EXPECT_NEAR(seen.last, 0.5, 1e-9);
}

} // namespace
} // namespace tincrates

#include "platform/sdl_audio_output.h"

#include "audio/music_stream.h"
#include "audio/mp3_maker.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tincrates {
namespace {

using namespace std::chrono_literals;

// SDL's dummy driver consumes sound in real time without a sound card.
void useDummyAudioDriver() { setenv("SDL_AUDIODRIVER", "dummy", 1); }

// Polls `position` until it stops changing for a while or `limit` passes; returns the last.
template <typename Position>
double waitForTheEnd(Position position, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    double last = position();
    int unchangedPolls = 0;
    while (std::chrono::steady_clock::now() < deadline && unchangedPolls < 10) {
        std::this_thread::sleep_for(20ms);
        double now = position();
        EXPECT_GE(now, last) << "the clock went backwards";
        unchangedPolls = now == last ? unchangedPolls + 1 : 0;
        last = now;
    }
    return last;
}

TEST(SdlAudioOutput, PlaysThroughTheDeviceAndStopsAtTheEnd)
{
    useDummyAudioDriver();
    std::vector<uint8_t> sound(176400 / 4, 1); // a quarter of a second
    SdlAudioOutput output;
    output.setSound(sound);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(output.position(), 0u); // not playing yet
    output.play();
    std::this_thread::sleep_for(100ms);
    EXPECT_GT(output.position(), 0u);
    EXPECT_LT(output.position(), sound.size());
    double end = waitForTheEnd([&] { return double(output.position()); }, 3s);
    EXPECT_EQ(end, double(sound.size()));
}

TEST(SdlAudioOutput, MusicStreamPlaysOnTheRealOutputPath)
{
    useDummyAudioDriver();
    testing::ScratchDir dir;
    dir.write("data/soundtrk.mp3", testing::encodeMp3(testing::makeSine(440.0, 0.4, 0.5)));
    MusicStream music(nullptr);
    music.load("soundtrk.mp3", 0.0);
    music.play();
    std::this_thread::sleep_for(150ms);
    double early = music.positionSeconds();
    EXPECT_GT(early, 0.0);
    EXPECT_LT(early, 0.4);
    double end = waitForTheEnd([&] { return music.positionSeconds(); }, 3s);
    EXPECT_NEAR(end, 0.4, 1e-9);
}

} // namespace
} // namespace tincrates

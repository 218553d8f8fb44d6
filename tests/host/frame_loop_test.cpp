// The frame loop: the demo time from the music, key presses, and the three ways a run ends.
#include "host/run_demo.h"

#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "platform/gpu/shared_device.h"
#include "production/frame_animation.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tincrates {
namespace {

using namespace tincrates::testing;

struct FrameLoop : ::testing::Test {
    FrameLoop() { test.useStubTimeline(); }

    void useSoundtrack(double seconds)
    {
        folder.write("data/soundtrk.mp3", silentSoundtrack(seconds));
    }

    // Each frame moves the music on by `seconds`.
    void advanceEachFrame(double seconds)
    {
        test.stub.onFrame = [this, seconds](float) {
            clock.output->advance(uint64_t(seconds * 44100) * 4);
        };
    }

    std::string timeLine(float t)
    {
        char line[64];
        std::snprintf(line, sizeof line, "time %f\n", double(t));
        return line;
    }

    ScratchDir folder;
    SelectedSilentClock clock;
    TestServices test;
};

TEST_F(FrameLoop, RunsUntilTheFrameThatPassesBeat232)
{
    useSoundtrack(soundtrackSecondsPastEnd);
    advanceEachFrame(10.0);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    const std::vector<float>& times = test.stub.times;
    ASSERT_EQ(times.size(), 12u);
    EXPECT_EQ(times.front(), 0.0f);
    EXPECT_EQ(times[1], demoTimeAt(10.0));
    EXPECT_LE(times[10], 232.0f);
    EXPECT_GT(times[11], 232.0f);
    EXPECT_EQ(test.stub.log, (std::vector<std::string>{"build", "destroy", "timeline gone"}));
    EXPECT_TRUE(test.messages.empty());
    EXPECT_EQ(sharedDevice(), nullptr);
}

TEST_F(FrameLoop, MusicStartsAfterTheBuildWithLinearFilteringOnAllEightSamplers)
{
    useSoundtrack(2.0);
    bool wasPlayingAtBuild = true;
    test.stub.onBuild = [&] {
        wasPlayingAtBuild = clock.output->isPlaying();
        for (DWORD stage = 0; stage < 8; ++stage)
            for (auto type : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER}) {
                DWORD value = 0;
                sharedDevice()->GetSamplerState(stage, type, &value);
                EXPECT_EQ(value, DWORD(D3DTEXF_LINEAR)) << "stage " << stage << " " << type;
            }
    };
    test.stub.onFrame = [&](float) {
        EXPECT_TRUE(clock.output->isPlaying());
        test.window->events.push_back({WindowEventType::CloseRequested, false});
    };
    EXPECT_EQ(runDemo(test.services), 0);
    EXPECT_FALSE(wasPlayingAtBuild);
}

TEST_F(FrameLoop, EscapeEndsTheRunAfterTheCurrentFrame)
{
    useSoundtrack(2.0);
    test.stub.onFrame = [&](float) {
        clock.output->advance(17640);
        if (test.stub.times.size() == 3)
            test.window->events.push_back({WindowEventType::KeyDown, true});
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(test.stub.times.size(), 3u);
    // Escape is a key like any other: it prints the time too.
    EXPECT_EQ(printed, timeLine(test.stub.times[2]));
}

TEST_F(FrameLoop, EscapeHeldDownEndsTheRun)
{
    useSoundtrack(2.0);
    test.stub.onFrame = [&](float) {
        if (test.stub.times.size() == 2)
            test.window->isEscapeHeld = true;
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(test.stub.times.size(), 2u);
}

TEST_F(FrameLoop, ClosingTheWindowEndsTheRunAfterTheCurrentFrame)
{
    useSoundtrack(2.0);
    test.stub.onFrame = [&](float) {
        if (test.stub.times.size() == 4) {
            test.window->events.push_back({WindowEventType::CloseRequested, false});
            // Events behind the close are still taken in the same frame.
            test.window->events.push_back({WindowEventType::KeyDown, false});
        }
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(test.stub.times.size(), 4u);
    EXPECT_EQ(printed, timeLine(test.stub.times[3]));
    EXPECT_TRUE(test.messages.empty());
}

TEST_F(FrameLoop, EachKeyPrintsTheDemoTimeAndOnlyEscapeStops)
{
    useSoundtrack(2.0);
    test.stub.onFrame = [&](float) {
        clock.output->advance(44100);
        size_t frame = test.stub.times.size();
        if (frame == 2) {
            test.window->events.push_back({WindowEventType::KeyDown, false});
            test.window->events.push_back({WindowEventType::KeyDown, false});
        }
        if (frame == 5)
            test.window->events.push_back({WindowEventType::KeyDown, true});
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    std::string printed = ::testing::internal::GetCapturedStdout();
    const std::vector<float>& times = test.stub.times;
    ASSERT_EQ(times.size(), 5u);
    EXPECT_EQ(printed, timeLine(times[1]) + timeLine(times[1]) + timeLine(times[4]));
    EXPECT_EQ(timeLine(12.5f), "time 12.500000\n");
}

TEST_F(FrameLoop, WhenTheMusicEndsEarlyTheProductionStandsStillUntilEscape)
{
    useSoundtrack(1.0);
    test.stub.onFrame = [&](float) {
        clock.output->advance(44100 * 4);
        if (test.stub.times.size() == 8)
            test.window->events.push_back({WindowEventType::KeyDown, true});
    };
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(runDemo(test.services), 0);
    ::testing::internal::GetCapturedStdout();
    const std::vector<float>& times = test.stub.times;
    ASSERT_EQ(times.size(), 8u);
    // One second of music, give or take the encoder's last frame.
    EXPECT_GT(times[7], 2.0f);
    EXPECT_LT(times[7], 2.6f);
    EXPECT_EQ(times[6], times[7]);
    EXPECT_EQ(times[5], times[7]);
}

TEST_F(FrameLoop, WithoutAScreenTheRunEndsWithItsMusic)
{
    useSoundtrack(1.0);
    test.services.endsWithTheMusic = true;
    advanceEachFrame(0.25);
    EXPECT_EQ(runDemo(test.services), 0);
    const std::vector<float>& times = test.stub.times;
    // Four or five frames of a quarter second each, and the last one at the end of the music.
    ASSERT_GE(times.size(), 4u);
    ASSERT_LE(times.size(), 6u);
    EXPECT_GT(times.back(), times[times.size() - 2]);
}

} // namespace
} // namespace tincrates

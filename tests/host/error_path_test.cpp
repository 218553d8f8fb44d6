// Every error of a run ends in one message and exit code 1, after everything made so far has
// been taken down.
#include "host/run_demo.h"

#include "audio/bass.h"
#include "audio/silent_clock.h"
#include "platform/gpu/shared_device.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <stdexcept>

namespace tincrates {
namespace {

using namespace tincrates::testing;

struct ErrorPath : ::testing::Test {
    ErrorPath()
    {
        test.useStubTimeline();
        // At the moment of the message, nothing of the run may be left.
        test.services.display.showMessage = [this](const std::string& text,
                                                const std::string& caption) {
            test.messages.push_back({text, caption});
            wasDeviceWithdrawn = sharedDevice() == nullptr;
            wasAudioReleased = BASS_Free() == 0 && BASS_ErrorGetCode() == BASS_ERROR_INIT;
            logAtMessage = test.stub.log;
        };
    }

    ScratchDir folder;
    SelectedSilentClock clock;
    TestServices test;
    bool wasDeviceWithdrawn = false;
    bool wasAudioReleased = false;
    std::vector<std::string> logAtMessage;
};

TEST_F(ErrorPath, AMissingSoundtrackEndsTheRunBeforeTheBuild)
{
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Failed to load soundtrk.mp3\nfile not found");
    EXPECT_EQ(test.messages[0].caption, "");
    EXPECT_EQ(std::count(test.stub.log.begin(), test.stub.log.end(), "build"), 0);
    EXPECT_TRUE(wasDeviceWithdrawn);
    EXPECT_TRUE(wasAudioReleased);
}

TEST_F(ErrorPath, ABuildErrorTakesTheTimelineMusicAndDisplayDownBeforeTheMessage)
{
    folder.write("data/soundtrk.mp3", silentSoundtrack(2.0));
    test.stub.onBuild = [] {
        throw std::string("Failed to load white.png\nfile not found: white.png");
    };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Failed to load white.png\nfile not found: white.png");
    EXPECT_EQ(logAtMessage, (std::vector<std::string>{"build", "timeline gone"}));
    EXPECT_TRUE(wasDeviceWithdrawn);
    EXPECT_TRUE(wasAudioReleased);
}

TEST_F(ErrorPath, AnErrorDuringAFrameEndsTheRun)
{
    folder.write("data/soundtrk.mp3", silentSoundtrack(2.0));
    test.stub.onFrame = [this](float) {
        if (test.stub.times.size() == 3)
            throw std::string("RenderTarget already set");
    };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "RenderTarget already set");
    EXPECT_EQ(test.stub.times.size(), 3u);
    EXPECT_TRUE(wasDeviceWithdrawn);
}

TEST_F(ErrorPath, StandardExceptionsAreReportedToo)
{
    folder.write("data/soundtrk.mp3", silentSoundtrack(2.0));
    test.stub.onBuild = [] { throw std::runtime_error("vector too long"); };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "vector too long");

    test.messages.clear();
    test.stub.onBuild = [] { throw std::bad_alloc(); };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Out of memory");
}

TEST_F(ErrorPath, AWindowThatCannotOpenIsReportedWithItsReason)
{
    test.services.display.createWindow = [](const std::string&, int, int, bool)
        -> std::shared_ptr<Window> { throw std::string("SDL: cannot start video: no display"); };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "CreateWindowEx failed\nSDL: cannot start video: no display");
}

TEST_F(ErrorPath, NoSoundOutputAtAllIsReported)
{
    folder.write("data/soundtrk.mp3", silentSoundtrack(2.0));
    test.services.audioOutput = []() -> std::unique_ptr<AudioOutput> {
        throw std::string("could not open audio device: none");
    };
    EXPECT_EQ(runDemo(test.services), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "could not init bass");
}

} // namespace
} // namespace tincrates

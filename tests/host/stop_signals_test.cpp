// Ctrl-C and `kill` end a run as Escape does: the frame in flight is finished, everything is
// taken down in order, and the exit code is 0.
#include "host/stop_signals.h"

#include "audio/silent_clock.h"
#include "platform/gpu/shared_device.h"
#include "support/child_process.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace tincrates {
namespace {

using namespace tincrates::testing;

extern "C" void recordOtherSignal(int) {}

TEST(StopSignals, EitherSignalOnlyRaisesTheFlag)
{
    for (int number : {SIGINT, SIGTERM}) {
        StopSignals signals;
        EXPECT_FALSE(signals.isStopRequested());
        std::raise(number);
        EXPECT_TRUE(signals.isStopRequested()) << number;
    }
}

TEST(StopSignals, TheHandlersBeforeAreBackAfterwards)
{
    struct sigaction mine {};
    mine.sa_handler = recordOtherSignal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before {};
    ASSERT_EQ(sigaction(SIGINT, &mine, &before), 0);
    {
        StopSignals signals;
        struct sigaction during {};
        sigaction(SIGINT, nullptr, &during);
        EXPECT_NE(during.sa_handler, recordOtherSignal);
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, recordOtherSignal);
    sigaction(SIGINT, &before, nullptr);
}

TEST(StopSignals, ASecondSignalEndsAProcessThatDidNotStop)
{
    // Another signal at once, or the same one after the repeat window, ends the process.
    EXPECT_EXIT(
        {
            StopSignals signals;
            std::raise(SIGTERM);
            std::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(
        {
            StopSignals signals;
            std::raise(SIGINT);
            std::this_thread::sleep_for(
                std::chrono::milliseconds(StopSignals::sameRequestMilliseconds + 100));
            std::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST(StopSignals, TheSameSignalAgainAtOnceIsTheSameRequest)
{
    EXPECT_EXIT(
        {
            StopSignals signals;
            std::raise(SIGTERM);
            std::raise(SIGTERM);
            std::raise(SIGTERM);
            std::_Exit(signals.isStopRequested() ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

struct StopSignalsInARun : ::testing::Test {
    StopSignalsInARun()
    {
        test.useStubTimeline();
        folder.write("data/soundtrk.mp3", silentSoundtrack(soundtrackSecondsPastEnd));
    }

    ScratchDir folder;
    SelectedSilentClock clock;
    TestServices test;
};

TEST_F(StopSignalsInARun, EndTheRunAfterTheFrameInFlightWithExitCodeZero)
{
    for (int number : {SIGINT, SIGTERM}) {
        test.stub = {};
        test.stub.onFrame = [this, number](float) {
            clock.output->advance(4410 * 4);
            if (test.stub.times.size() == 3)
                std::raise(number);
        };
        EXPECT_EQ(runDemo(test.services), 0) << number;
        EXPECT_EQ(test.stub.times.size(), 3u) << number;
        EXPECT_EQ(test.stub.log, (std::vector<std::string>{"build", "destroy", "timeline gone"}));
        EXPECT_TRUE(test.messages.empty());
        EXPECT_EQ(sharedDevice(), nullptr);
    }
}

// Whether process `pid` catches `number` (its handler is installed): bit number - 1 of the
// SigCgt mask in /proc/<pid>/status.
// Only the program's own handlers count, not those a forked test process had before exec.
bool catchesSignal(pid_t pid, int number)
{
    std::error_code error;
    if (std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error)
        != std::filesystem::canonical(TINCRATES_PROGRAM, error))
        return false;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (number - 1) & 1) != 0;
    return false;
}

// Starts the production, headless with its soundtrack playing in real time, in a process
// group of its own as a shell starts a command; once it has its handlers (the run has begun),
// calls `send` with its pid and returns its wait status, or fails the test when it does not
// end within a minute.
int statusAfterSignals(const std::function<void(pid_t)>& send, int number)
{
    ScratchDir folder;
    writeTestProduction(folder);
    pid_t pid = startChild({TINCRATES_PROGRAM},
        {-1, "/dev/null", "/dev/null", {"DISPLAY", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy"}});
    int status = 0;
    bool hasEnded = false;
    bool isReady = pid > 0 && waitUntil([&] {
        hasEnded = waitpid(pid, &status, WNOHANG) == pid;
        return hasEnded || catchesSignal(pid, number);
    });
    if (!isReady || hasEnded) {
        ADD_FAILURE() << "the production did not start, or ended before it was signalled";
        return hasEnded || pid < 0 ? status : waitForChild(pid, std::chrono::seconds(0));
    }
    send(pid);
    status = waitForChild(pid);
    if (status == -1)
        ADD_FAILURE() << "signal " << number << " did not end the run within a minute";
    return status;
}

// The production ends promptly on either signal instead of after its 108 seconds of music,
// whether the signal comes to it alone or, as `timeout` and a terminal's Ctrl-C send it, to
// it and then to its whole process group.
TEST(StopSignalsOfTheProgram, EndTheHeadlessProductionPromptlyWithExitCodeZero)
{
    for (int number : {SIGINT, SIGTERM}) {
        for (bool toTheGroupToo : {false, true}) {
            int status = statusAfterSignals(
                [number, toTheGroupToo](pid_t pid) {
                    kill(pid, number);
                    // Pending signals of one kind merge; `timeout` is slower than this.
                    if (toTheGroupToo) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        kill(-pid, number);
                    }
                },
                number);
            ASSERT_TRUE(WIFEXITED(status)) << "signal " << number << " killed the run";
            EXPECT_EQ(WEXITSTATUS(status), 0) << number << (toTheGroupToo ? " to the group" : "");
        }
    }
}

} // namespace
} // namespace tincrates

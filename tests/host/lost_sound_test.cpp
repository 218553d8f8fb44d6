// A sound server that goes away during a run: the production keeps its time and says so once
// on standard error. Played through a real PulseAudio server of the test's own, which is
// killed while the production plays.
#include "support/child_process.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tincrates {
namespace {

using namespace tincrates::testing;

// The last beat a status line on `output` told.
double lastBeat(const std::string& output)
{
    size_t at = output.rfind("beat ");
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + 5);
}

TEST(LostSoundDevice, TheRunKeepsItsTimeAndSaysSoOnce)
{
    if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no pulseaudio here (scripts/setup.sh installs it)";
    ScratchDir folder;
    writeTestProduction(folder);
    // The server keeps its files in the scratch folder.
    std::string socket = (folder.path / "pulse-native").string();
    std::vector<std::string> home
        = {"HOME=" + folder.path.string(), "XDG_RUNTIME_DIR=" + folder.path.string()};
    pid_t server = startChild({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                  "--use-pid-file=false", "-L", "module-null-sink", "-L",
                                  "module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
        {-1, "/dev/null", "server.txt", home});
    ASSERT_GT(server, 0);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(socket); }))
        << fileContents("server.txt");

    int commands[2];
    ASSERT_EQ(pipe(commands), 0);
    std::vector<std::string> environment = home;
    environment.insert(environment.end(), {"PULSE_SERVER=unix:" + socket,
        "SDL_AUDIODRIVER=pulseaudio", "DISPLAY", "WAYLAND_DISPLAY"});
    pid_t run = startChild({TINCRATES_PROGRAM, "--maker"},
        {commands[0], "output.txt", "errors.txt", environment});
    close(commands[0]);
    auto ask = [&] { return write(commands[1], "status\n", 7) == 7; };

    // Playing through the server: a status line comes back, and nothing went silent yet.
    bool isPlaying = run > 0
        && waitUntil([&] { return ask() && lastBeat(fileContents("output.txt")) > 0.2; });
    std::string early = fileContents("errors.txt");
    kill(server, SIGKILL);
    waitForChild(server);
    const std::string told
        = "tincrates: the sound device went away; the production plays on silently\n";
    bool isTold = isPlaying && waitUntil([&] {
        ask();
        return fileContents("errors.txt").find(told) != std::string::npos;
    });
    double beatWhenTold = lastBeat(fileContents("output.txt"));
    // Two beats are a little under a second of music.
    bool keptTime = isTold && waitUntil([&] {
        return ask() && lastBeat(fileContents("output.txt")) > beatWhenTold + 2;
    });
    write(commands[1], "quit\n", 5);
    close(commands[1]);
    int status = run > 0 ? waitForChild(run) : -1;

    std::string errors = fileContents("errors.txt");
    ASSERT_TRUE(isPlaying) << errors;
    EXPECT_EQ(early.find("plays silently"), std::string::npos) << "no sound at all: " << early;
    EXPECT_TRUE(isTold) << errors;
    EXPECT_TRUE(keptTime) << fileContents("output.txt");
    EXPECT_EQ(errors.find(told), errors.rfind(told)) << "told more than once:\n" << errors;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
} // namespace tincrates

// A sound server that goes away during a run: the production keeps its time and says so once
// on standard error. Played through a real PulseAudio server of the test's own, which is
// killed while the production plays.
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

namespace tincrates {
namespace {

using namespace tincrates::testing;
using Clock = std::chrono::steady_clock;

std::string contents(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `program` with its standard streams on the given descriptors and files.
pid_t start(const char* program, const std::vector<const char*>& arguments, int input,
    const std::string& output, const std::string& errors)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (input >= 0)
            dup2(input, 0);
        std::freopen(output.c_str(), "w", stdout);
        std::freopen(errors.c_str(), "w", stderr);
        std::vector<const char*> argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.push_back(nullptr);
        execvp(program, const_cast<char* const*>(argv.data()));
        std::_Exit(127);
    }
    return pid;
}

// Polls `condition` until it holds or `limit` passes.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds limit)
{
    auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The last beat a status line on `output` told.
double lastBeat(const std::string& output)
{
    size_t at = output.rfind("beat ");
    return at == std::string::npos ? -1 : std::atof(output.c_str() + at + 5);
}

// Sets (or, with no value, removes) an environment variable for the life of the object.
class Setting {
public:
    Setting(const char* name, const std::optional<std::string>& value)
        : name(name)
    {
        if (const char* before = std::getenv(name))
            previous = before;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~Setting()
    {
        if (previous)
            setenv(name, previous->c_str(), 1);
        else
            unsetenv(name);
    }
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

private:
    const char* name;
    std::optional<std::string> previous;
};

TEST(LostSoundDevice, TheRunKeepsItsTimeAndSaysSoOnce)
{
    if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no pulseaudio here (scripts/setup.sh installs it)";
    ScratchDir folder;
    writeTestProduction(folder);
    std::string socket = (folder.path / "pulse-native").string();
    // The server keeps its files in the scratch folder; the program has no screen.
    Setting home("HOME", folder.path.string());
    Setting runtime("XDG_RUNTIME_DIR", folder.path.string());
    Setting display("DISPLAY", std::nullopt);
    Setting wayland("WAYLAND_DISPLAY", std::nullopt);
    std::string protocol = "module-native-protocol-unix socket=" + socket + " auth-anonymous=1";
    pid_t soundServer = start("pulseaudio",
        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "-L",
            "module-null-sink", "-L", protocol.c_str()},
        -1, "/dev/null", "server.txt");
    ASSERT_GT(soundServer, 0);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(socket); }, std::chrono::seconds(30)))
        << contents("server.txt");

    Setting server("PULSE_SERVER", "unix:" + socket);
    Setting driver("SDL_AUDIODRIVER", "pulseaudio");
    int commands[2];
    ASSERT_EQ(pipe(commands), 0);
    pid_t run = start(TINCRATES_PROGRAM, {"--maker"}, commands[0], "output.txt", "errors.txt");
    close(commands[0]);
    auto ask = [&] { return write(commands[1], "status\n", 7) == 7; };

    // Playing through the server: a status line comes back, and nothing went silent yet.
    bool isPlaying = waitFor([&] { return ask() && lastBeat(contents("output.txt")) > 0.2; },
        std::chrono::seconds(60));
    std::string early = contents("errors.txt");
    kill(soundServer, SIGKILL);
    waitpid(soundServer, nullptr, 0);
    const std::string told
        = "tincrates: the sound device went away; the production plays on silently\n";
    bool isTold = isPlaying && waitFor([&] {
        ask();
        return contents("errors.txt").find(told) != std::string::npos;
    }, std::chrono::seconds(30));
    double beatWhenTold = lastBeat(contents("output.txt"));
    // Two beats are a little under a second of music.
    bool keptTime = isTold && waitFor([&] {
        return ask() && lastBeat(contents("output.txt")) > beatWhenTold + 2;
    }, std::chrono::seconds(30));
    write(commands[1], "quit\n", 5);
    close(commands[1]);
    int status = 0;
    if (!waitFor([&] { return waitpid(run, &status, WNOHANG) == run; }, std::chrono::seconds(60))) {
        kill(run, SIGKILL);
        waitpid(run, &status, 0);
    }

    std::string errors = contents("errors.txt");
    ASSERT_TRUE(isPlaying) << errors;
    EXPECT_EQ(early.find("plays silently"), std::string::npos) << "no sound at all: " << early;
    EXPECT_TRUE(isTold) << errors;
    EXPECT_TRUE(keptTime) << contents("output.txt");
    EXPECT_EQ(errors.find(told), errors.rfind(told)) << "told more than once:\n" << errors;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
} // namespace tincrates

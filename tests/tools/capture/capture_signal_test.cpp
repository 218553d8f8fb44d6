// capture stopped by a signal, as Ctrl-C and timeout send it: to the whole process group, so
// that ffmpeg gets it too. Whatever gets it, capture keeps what it has made, with its sound,
// and exits with 0.
#include "support/child_process.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using namespace tincrates::testing;

// What ffprobe says of one stream of `path`: its frame count and its duration in seconds.
struct Stream {
    long frames = -1;
    double seconds = -1;
};

Stream probe(const std::string& path, const std::string& stream)
{
    std::string command = "ffprobe -v error -select_streams " + stream
        + " -show_entries stream=nb_frames,duration -of default=noprint_wrappers=1 " + path
        + " >probe.txt 2>&1";
    Stream found;
    if (std::system(command.c_str()) != 0)
        return found;
    std::string text = fileContents("probe.txt");
    size_t at = text.find("nb_frames=");
    if (at != std::string::npos)
        found.frames = std::atol(text.c_str() + at + 10);
    at = text.find("duration=");
    if (at != std::string::npos)
        found.seconds = std::atof(text.c_str() + at + 9);
    return found;
}

struct CaptureSignal : ::testing::Test {
    CaptureSignal() { writeTestProduction(folder); }
    ~CaptureSignal() override
    {
        if (process > 0) // a test that failed half-way leaves nothing running
            waitForChild(process, std::chrono::seconds(0));
    }

    // Starts capture with `arguments` as the leader of a process group of its own, as a shell
    // starts a job; `path` is the PATH it gets.
    void start(const std::vector<std::string>& arguments, const std::string& path = "")
    {
        std::vector<std::string> command = {CAPTURE_PROGRAM};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildSetup setup{-1, "output.txt", "errors.txt", {}};
        if (!path.empty())
            setup.environment.push_back("PATH=" + path);
        process = startChild(command, setup);
        ASSERT_GT(process, 0);
    }

    // Waits for capture to end; returns its exit code, or -1 when a signal ended it or it
    // was still running after a minute.
    int finish()
    {
        int status = waitForChild(process);
        if (status == -1)
            return -1;
        // The encoders were its children, in its group: none may outlive it.
        EXPECT_EQ(kill(-process, 0), -1) << "a process of capture's group is still running";
        process = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The process ids of capture's children.
    std::vector<pid_t> children() const
    {
        std::string path = "/proc/" + std::to_string(process) + "/task/"
            + std::to_string(process) + "/children";
        std::vector<pid_t> found;
        std::ifstream in(path);
        for (pid_t child = 0; in >> child;)
            found.push_back(child);
        return found;
    }

    // Expects `name` to be a playable video whose sound lasts as long as its frames, the
    // number capture said it wrote; returns that number.
    long expectWholeVideo(const std::string& name)
    {
        Stream video = probe(name, "v:0");
        Stream audio = probe(name, "a:0");
        EXPECT_GT(video.frames, 0) << fileContents("errors.txt");
        EXPECT_EQ(fileContents("output.txt"),
                  std::to_string(video.frames) + (video.frames == 1 ? " frame" : " frames")
                      + " at 30 per second in " + name + "\n");
        // AAC stores the sound in blocks of 1024 samples, 23 ms.
        EXPECT_NEAR(audio.seconds, video.seconds, 0.024);
        EXPECT_NEAR(video.seconds, video.frames / 30.0, 0.001);
        return video.frames;
    }

    ScratchDir folder;
    pid_t process = -1;
};

TEST_F(CaptureSignal, CtrlCOrTimeoutToTheWholeGroupKeepsAPlayableVideoWithItsSound)
{
    for (int number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(number);
        fs::remove_all("video");
        start({"-r", "30", "-t", "60", "-o", "video/demo.mp4"});
        // Once ffmpeg writes, both are well under way.
        ASSERT_TRUE(waitUntil([] {
            std::error_code error;
            return fs::file_size("video/.demo.mp4.video.mp4", error) > 0 && !error;
        })) << fileContents("errors.txt");
        ASSERT_EQ(kill(-process, number), 0);
        ASSERT_EQ(finish(), 0) << fileContents("errors.txt");
        EXPECT_LT(expectWholeVideo("video/demo.mp4"), 1800);
        size_t files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("video"))
            ++files;
        EXPECT_EQ(files, 1u); // nothing beside it
    }
}

TEST_F(CaptureSignal, ASignalToTheEncoderAloneEndsTheCaptureWithItsVideo)
{
    start({"-r", "30", "-t", "60", "-o", "demo.mp4"});
    ASSERT_TRUE(waitUntil([] {
        std::error_code error;
        return fs::file_size(".demo.mp4.video.mp4", error) > 0 && !error;
    })) << fileContents("errors.txt");
    std::vector<pid_t> encoders = children();
    ASSERT_EQ(encoders.size(), 1u);
    ASSERT_EQ(kill(encoders[0], SIGINT), 0);
    ASSERT_EQ(finish(), 0) << fileContents("errors.txt");
    EXPECT_LT(expectWholeVideo("demo.mp4"), 1800);
}

TEST_F(CaptureSignal, AnEncoderEndedBySignalWhileItStartsIsStartedAgainOnTheSameFrames)
{
    // An ffmpeg that a signal ends before it has read anything, the first time it is run.
    folder.write("bin/ffmpeg", "#!/bin/sh\n"
                               "if [ ! -e \"$0.started\" ]; then\n"
                               "  : >\"$0.started\"; kill -INT $$\n"
                               "fi\n"
                               "PATH=${PATH#*:} exec ffmpeg \"$@\"\n");
    fs::permissions("bin/ffmpeg", fs::perms::owner_all);
    start({"-r", "30", "-t", "60", "-o", "demo.mp4"},
          (folder.path / "bin").string() + ":" + std::getenv("PATH"));
    ASSERT_EQ(finish(), 0) << fileContents("errors.txt");
    // It ended on the first frame after its encoder did, before the next was drawn.
    long frames = expectWholeVideo("demo.mp4");
    EXPECT_GE(frames, 1);
    EXPECT_LE(frames, 2);
}

TEST_F(CaptureSignal, ASignalWhileTheVideoIsFinishedWaitsForItAndASecondGivesItUp)
{
    // An ffmpeg that, asked to join the sound to the frames, signals capture and itself, as
    // Ctrl-C would: the first time only, then every time.
    for (bool isEveryTime : {false, true}) {
        SCOPED_TRACE(isEveryTime);
        fs::remove_all("bin");
        fs::remove("demo.mp4");
        folder.write("bin/ffmpeg",
                     std::string("#!/bin/sh\n"
                                 "case \"$*\" in *faststart*)\n"
                                 "  if [ ! -e \"$0.joined\" ]; then\n")
                         + (isEveryTime ? "" : "    : >\"$0.joined\"\n")
                         + "    kill -INT $PPID; kill -INT $$\n"
                           "  fi;;\n"
                           "esac\n"
                           "PATH=${PATH#*:} exec ffmpeg \"$@\"\n");
        fs::permissions("bin/ffmpeg", fs::perms::owner_all);
        start({"-r", "30", "-t", "1", "-o", "demo.mp4"},
              (folder.path / "bin").string() + ":" + std::getenv("PATH"));
        if (isEveryTime) {
            EXPECT_EQ(finish(), 1);
            EXPECT_EQ(fileContents("errors.txt"), "capture: stopped again while the video was being "
                                              "finished; it was not written\n");
            for (const auto& entry : fs::directory_iterator("."))
                EXPECT_EQ(entry.path().filename().string().find("demo"), std::string::npos)
                    << entry.path();
        } else {
            ASSERT_EQ(finish(), 0) << fileContents("errors.txt");
            EXPECT_EQ(expectWholeVideo("demo.mp4"), 30); // every frame: the run was over
        }
    }
}

TEST_F(CaptureSignal, AFolderOfFramesKeepsASoundtrackAsLongAsItsFrames)
{
    // A stretch, so that capture says where it stopped.
    start({"-r", "30", "--from", "40", "--to", "200", "-o", "frames"});
    ASSERT_TRUE(waitUntil([] { return fs::exists("frames/frame00002.png"); }))
        << fileContents("errors.txt");
    ASSERT_EQ(kill(-process, SIGINT), 0);
    ASSERT_EQ(finish(), 0) << fileContents("errors.txt");

    size_t frames = 0;
    for (const auto& entry : fs::directory_iterator("frames"))
        frames += entry.path().extension() == ".png";
    ASSERT_GE(frames, 3u);
    char last[32];
    std::snprintf(last, sizeof last, "frames/frame%05zu.png", frames - 1);
    EXPECT_TRUE(fs::exists(last)); // numbered without a gap
    // 1470 sound frames of 4 bytes go with each picture at 30 per second.
    EXPECT_EQ(fs::file_size("frames/soundtrack.wav"), 44 + frames * 1470 * 4);

    // "N frames at 30 per second from beat 40 to B in frames; stopped before beat 200", B the
    // beat that the frames' sound reaches, to a hundredth.
    std::string said = fileContents("output.txt");
    unsigned long long count = 0;
    double reached = 0;
    int length = 0;
    ASSERT_EQ(std::sscanf(said.c_str(), "%llu frames at 30 per second from beat 40 to %lf%n",
                          &count, &reached, &length),
              2)
        << said;
    EXPECT_EQ(count, frames);
    EXPECT_NEAR(reached, 40 + frames / 30.0 * 2.149, 0.011);
    EXPECT_EQ(said.substr(size_t(length)), " in frames; stopped before beat 200\n");
}

TEST_F(CaptureSignal, ChosenMomentsKeepTheFramesMadeAndSayWhereTheyStopped)
{
    std::string times;
    for (int beat = 1; beat <= 230; ++beat)
        times += std::to_string(beat) + ",";
    times.pop_back();
    start({"--at", times, "-o", "moments"});
    ASSERT_TRUE(waitUntil([] { return fs::exists("moments/t002.000.png"); }))
        << fileContents("errors.txt");
    ASSERT_EQ(kill(-process, SIGTERM), 0);
    ASSERT_EQ(finish(), 0) << fileContents("errors.txt");
    size_t frames = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("moments"))
        ++frames;
    ASSERT_LT(frames, 230u);
    // The frames at beats 1 to N, and the next one was at beat N + 1.
    EXPECT_EQ(fileContents("output.txt"), std::to_string(frames) + " frames in moments; stopped "
                                          "before beat " + std::to_string(frames + 1) + "\n");
}

} // namespace
} // namespace tincrates

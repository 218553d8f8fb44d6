// capture writes the production's frames and its soundtrack, exactly as long as each other.
#include "tools/capture/capture_fixture.h"
#include "support/demo_fixture.h"
#include "platform/image/png_image.h"
#include "post/pixel_font.h"
#include "production/frame_animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tincrates {
namespace {

using namespace tincrates::testing;


TEST_F(Capture, WritesNumberedFramesAndASoundtrackOfTheSameLength)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("-r 8 -t 0.5 -o out"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "4 frames at 8 per second in out\n");
    EXPECT_EQ(contents("errors.txt"), "");

    for (const char* name : {"out/frame00000.png", "out/frame00003.png"}) {
        std::string png = contents(name);
        DecodedImage image;
        std::string error;
        ASSERT_TRUE(decodePng(png.data(), png.size(), image, error)) << name << ": " << error;
        EXPECT_EQ(image.width, 640u);
        EXPECT_EQ(image.height, 480u);
    }
    EXPECT_FALSE(std::filesystem::exists("out/frame00004.png"));

    std::string wav = contents("out/soundtrack.wav");
    ASSERT_EQ(wav.size(), 44u + 88200u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(littleEndian(wav, 4, 4), 36u + 88200u);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(littleEndian(wav, 20, 2), 1u);     // PCM
    EXPECT_EQ(littleEndian(wav, 22, 2), 2u);     // stereo
    EXPECT_EQ(littleEndian(wav, 24, 4), 44100u);
    EXPECT_EQ(littleEndian(wav, 34, 2), 16u);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(littleEndian(wav, 40, 4), 88200u);
}

TEST_F(Capture, RatesThatDoNotDivideTheSampleRateDoNotDrift)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("-r 7 -t 1 -o out"), 0) << contents("errors.txt");
    // Seven frames end exactly one second of sound later.
    EXPECT_EQ(contents("out/soundtrack.wav").size(), 44u + 176400u);
}

TEST_F(Capture, EndsWhenTheSoundtrackEndsBeforeTheProduction)
{
    writeTestProduction(folder);
    folder.write("data/soundtrk.mp3", silentSoundtrack(1.0));
    ASSERT_EQ(run("-r 10"), 0) << contents("errors.txt");
    size_t frames = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("capture"))
        ++frames;
    --frames; // the soundtrack
    EXPECT_GE(frames, 10u);
    EXPECT_LE(frames, 14u);
}

TEST_F(Capture, RendersOnlyTheChosenMomentsWithTheTextsTheyWouldShow)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("--at 100.5,20.5 -o out"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "2 frames in out\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("out"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"t020.500.png", "t100.500.png"}));

    // Text k's red grows by 10 per number: 1 at beat 20.5, 10 at 100.5, jumped to directly.
    auto centre = [](const std::string& name) {
        std::string png = contents(name);
        DecodedImage image;
        std::string error;
        EXPECT_TRUE(decodePng(png.data(), png.size(), image, error)) << error;
        return image.pixels.empty() ? 0u : image.pixels[240 * 640 + 320];
    };
    EXPECT_NEAR(int(centre("out/t100.500.png") >> 16 & 0xFF)
                    - int(centre("out/t020.500.png") >> 16 & 0xFF), 90, 2);

    // A whole beat flashes the picture white; near the end the black overlay has faded it out.
    ASSERT_EQ(run("--at 9,231.9 -o ends"), 0) << contents("errors.txt");
    auto brightest = [](const std::string& name, bool darkest) {
        std::string png = contents(name);
        DecodedImage image;
        std::string error;
        EXPECT_TRUE(decodePng(png.data(), png.size(), image, error)) << error;
        int extreme = darkest ? 255 : 0;
        for (uint32_t p : image.pixels)
            for (int shift : {0, 8, 16})
                extreme = darkest ? std::min(extreme, int(p >> shift & 0xFF))
                                  : std::max(extreme, int(p >> shift & 0xFF));
        return extreme;
    };
    EXPECT_GE(brightest("ends/t009.000.png", true), 254);
    EXPECT_LE(brightest("ends/t231.900.png", false), 3);

    // The same data gives the same bytes.
    ASSERT_EQ(run("--at 20.5 -o again"), 0) << contents("errors.txt");
    EXPECT_TRUE(contents("again/t020.500.png") == contents("out/t020.500.png"));

    EXPECT_EQ(run("--at 233"), 1);
    EXPECT_EQ(contents("errors.txt"),
              "capture: --at takes demo times from 0 to 232, such as 9.5,60 (see capture "
              "--help)\n");
    EXPECT_EQ(run("--at 1,,2"), 1);
}

TEST_F(Capture, OneMomentWithANameEndingInPngIsWrittenAsThatFile)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("--at 20.5 -o shot.png"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "1 frame in shot.png\n");
    EXPECT_TRUE(std::filesystem::is_regular_file("shot.png"));
    ASSERT_EQ(run("--at 20.5 -o stills/Shot.PNG"), 0) << contents("errors.txt");
    ASSERT_EQ(run("--at 20.5 -o frames"), 0) << contents("errors.txt");
    std::string frame = contents("frames/t020.500.png");
    EXPECT_FALSE(frame.empty());
    EXPECT_TRUE(contents("shot.png") == frame);
    EXPECT_TRUE(contents("stills/Shot.PNG") == frame);

    // The same time twice is one time.
    ASSERT_EQ(run("--at 20.5,20.5 -o again.png"), 0) << contents("errors.txt");
    EXPECT_TRUE(contents("again.png") == frame);

    EXPECT_EQ(run("--at 1,2,3 -o many.png"), 1);
    EXPECT_EQ(contents("errors.txt"),
              "capture: --at with 3 times writes a folder; -o many.png takes one time (see "
              "capture --help)\n");
    EXPECT_FALSE(std::filesystem::exists("many.png"));
}

// What ffprobe says of one stream of a file, as "key=value" lines.
std::string probe(const std::string& path, const std::string& stream)
{
    auto contents = [](const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::string command = "ffprobe -v error -select_streams " + stream
        + " -count_frames -show_entries stream=codec_name,nb_read_frames,duration,width,height"
          " -of default=noprint_wrappers=1 " + path + " >probe.txt 2>&1";
    if (std::system(command.c_str()) != 0)
        return "";
    return contents("probe.txt");
}

TEST_F(Capture, WritesAnMp4WithItsSoundtrackInOneStep)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("-r 10 -t 2 -o video/demo.mp4"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "20 frames at 10 per second in video/demo.mp4\n");
    std::string video = probe("video/demo.mp4", "v:0");
    EXPECT_NE(video.find("codec_name=h264"), std::string::npos) << video;
    EXPECT_NE(video.find("width=640\nheight=480"), std::string::npos) << video;
    EXPECT_NE(video.find("nb_read_frames=20"), std::string::npos) << video;
    std::string audio = probe("video/demo.mp4", "a:0");
    EXPECT_NE(audio.find("codec_name=aac"), std::string::npos) << audio;
    // AAC frames round the sound's length up a little.
    double seconds = std::atof(audio.substr(audio.find("duration=") + 9).c_str());
    EXPECT_NEAR(seconds, 2.0, 0.05);
    // Nothing but the video is left beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("video"))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(Capture, WithoutFfmpegAVideoFailsWithAReasonAndLeavesNothing)
{
    writeTestProduction(folder);
    std::string command = "PATH=/nonexistent " + std::string(CAPTURE_PROGRAM)
        + " -r 10 -t 1 -o demo.mp4 >output.txt 2>errors.txt";
    int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: ffmpeg is needed to write video and was not found "
                                      "(it is the Debian package ffmpeg)\n");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        files += entry.path().filename().string().find("demo") != std::string::npos;
    EXPECT_EQ(files, 0u);
}

TEST_F(Capture, AnEncoderThatStopsPartWayFailsWithItsReasonAndLeavesNothing)
{
    writeTestProduction(folder);
    // An ffmpeg that takes a little of its input and then gives up, as on a full disk.
    folder.write("bin/ffmpeg", "#!/bin/sh\nhead -c 100 >/dev/null\necho 'disk full' >&2\nexit 1\n");
    std::filesystem::permissions("bin/ffmpeg", std::filesystem::perms::owner_all);
    std::string command = "PATH=$PWD/bin:$PATH " + std::string(CAPTURE_PROGRAM)
        + " -r 10 -t 2 -o demo.mp4 >output.txt 2>errors.txt";
    int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: ffmpeg: disk full\n");
    for (const auto& entry : std::filesystem::directory_iterator("."))
        EXPECT_EQ(entry.path().filename().string().find("demo"), std::string::npos)
            << entry.path();
}

TEST_F(Capture, AFolderThatCannotBeWrittenIsOneLineOfError)
{
    writeTestProduction(folder);
    folder.write("taken", "a file where the folder should go");
    EXPECT_EQ(run("-t 1 -o taken/frames"), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: cannot make taken/frames: Not a directory\n");
}

TEST_F(Capture, MakesAContactSheetOfLabelledFramesFromAnotherFolder)
{
    writeTestProduction(folder);
    std::filesystem::create_directories("production");
    std::filesystem::rename("data", "production/data");
    ASSERT_EQ(run("-C production --contact-sheet " + (folder.path / "sheet.png").string()), 0)
        << contents("errors.txt");
    std::string png = contents("sheet.png");
    DecodedImage sheet;
    std::string error;
    ASSERT_TRUE(decodePng(png.data(), png.size(), sheet, error)) << error;
    // Thirty cells of 160 × 120 in rows of six, 4 pixels apart.
    EXPECT_EQ(sheet.width, 6u * 160 + 7 * 4);
    EXPECT_EQ(sheet.height, 5u * 120 + 6 * 4);
    // The first cell's label "t=0.5" is white on a darkened box at its lower left.
    size_t white = 0;
    for (uint32_t y = 4 + 120 - 20; y < 4 + 120; ++y)
        for (uint32_t x = 6; x < 6 + 70; ++x)
            white += (sheet.pixels[size_t(y) * sheet.width + x] & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(white, 60u);
    // Set in the shared pixel font at twice its size, a font pixel in from the box's corner
    // at (6, 104); the box darkens the frame, so its only white pixels are the letters'.
    std::vector<uint32_t> label(62 * 18, 0);
    writeText({label.data(), 62, 18, 62}, 2, 2, "t=0.5", 0xFFFFFFFF, 2);
    for (uint32_t y = 0; y < 18; ++y)
        for (uint32_t x = 0; x < 62; ++x) {
            const uint32_t pixel = sheet.pixels[size_t(104 + y) * sheet.width + 6 + x];
            ASSERT_EQ((pixel & 0xFFFFFF) == 0xFFFFFF, label[y * 62 + x] != 0) << x << ", " << y;
        }
}

TEST_F(Capture, ReportsAMissingProductionAndBadOptions)
{
    // Where there is no production, what to do about it, for the current folder and for -C.
    EXPECT_EQ(run("-o out"), 1);
    EXPECT_EQ(contents("errors.txt"),
        "capture: there is no production to play: " + folder.path.string()
            + " holds neither stashpack nor data/; name a production's folder with -C DIR, such "
              "as -C build/production in the clone\n");
    std::filesystem::create_directories(folder.path / "empty");
    EXPECT_EQ(run("-C empty -o out"), 1);
    EXPECT_EQ(contents("errors.txt"),
        "capture: there is no production to play: empty holds neither stashpack nor data/; name "
        "a production's folder with -C DIR, such as -C build/production in the clone\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path / "out"));
    EXPECT_FALSE(std::filesystem::exists(folder.path / "empty" / "out"));

    EXPECT_EQ(run("-r 0"), 1);
    EXPECT_EQ(contents("errors.txt"),
        "capture: -r takes a whole number from 1 to 240 (see capture --help)\n");
    EXPECT_EQ(run("-t -1"), 1);
    EXPECT_EQ(contents("errors.txt"),
        "capture: -t takes a positive number of seconds (see capture --help)\n");
    EXPECT_EQ(run("-o"), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: -o needs a value (see capture --help)\n");
    EXPECT_EQ(run("--at 1,x"), 1);
    EXPECT_EQ(contents("errors.txt"),
              "capture: --at takes demo times from 0 to 232, such as 9.5,60 (see capture "
              "--help)\n");
    EXPECT_EQ(run("--at 9 -o out.mp4"), 1);
    EXPECT_EQ(contents("errors.txt"),
        "capture: --at writes PNG frames into a folder, not a video (see capture --help)\n");
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(contents("output.txt").substr(0, 14), "Usage: capture");
}

TEST_F(Capture, SizesThatAreNotWidthByHeightTooSmallOrTooLargeAreOneLineOfError)
{
    // The command line's own errors say where to read what --size takes; the device's does not.
    auto usageError = [](const std::string& message) {
        return "capture: " + message + " (see capture --help)\n";
    };
    struct Case {
        const char* size;
        std::string error;
    } cases[] = {
        {"1920", usageError("--size takes a size in pixels such as 1920x1080, not \"1920\"")},
        {"1920x", usageError("--size takes a size in pixels such as 1920x1080, not \"1920x\"")},
        {"x1080", usageError("--size takes a size in pixels such as 1920x1080, not \"x1080\"")},
        {"-640x480",
            usageError("--size takes a size in pixels such as 1920x1080, not \"-640x480\"")},
        {"640X480", usageError("--size takes a size in pixels such as 1920x1080, not \"640X480\"")},
        {"0x0", usageError("--size 0x0 is too small: at least 320x240")},
        {"200x150", usageError("--size 200x150 is too small: at least 320x240")},
        {"40000x30000", "capture: Picture size 40000x30000 is larger than this device can draw: "
                        "at most 8192x8192\n"},
    };
    // A folder that holds a production, if an empty one, so that the device is asked.
    std::filesystem::create_directories(folder.path / "data");
    for (const Case& c : cases) {
        EXPECT_EQ(run(std::string("--size ") + c.size + " --at 9 -o out"), 1) << c.size;
        EXPECT_EQ(contents("errors.txt"), c.error);
    }
    EXPECT_FALSE(std::filesystem::exists("out/t009.000.png"));
}

// The number of the test production's text image over the picture's centre: over the text's
// solid colour the white flash adds the same to red and blue, so their difference tells it
// while neither is clipped.
int textNumberAtCentre(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string png{std::istreambuf_iterator<char>(in), {}};
    DecodedImage image;
    std::string error;
    if (!decodePng(png.data(), png.size(), image, error) || image.pixels.size() < 640 * 480)
        return -1;
    uint32_t centre = image.pixels[240 * 640 + 320];
    int red = int(centre >> 16 & 0xFF);
    int blue = int(centre & 0xFF);
    return int(std::lround((red - blue + 100) / 10.0));
}

TEST_F(Capture, AStretchHasTheFramesAndTheSoundOfItsBeats)
{
    writeTestProduction(folder);
    // Beats 50 to 50 + 2.149 are one second of music: seven frames at 7 per second, and one
    // second of sound although 7 does not divide the sample rate.
    ASSERT_EQ(run("--from 50 --to 52.149000040690104 -r 7 -o part"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "7 frames at 7 per second from beat 50 to 52.149 in part\n");
    EXPECT_TRUE(std::filesystem::exists("part/frame00006.png"));
    EXPECT_FALSE(std::filesystem::exists("part/frame00007.png"));
    std::string wav = contents("part/soundtrack.wav");
    ASSERT_EQ(wav.size(), 44u + 176400u);
    EXPECT_EQ(littleEndian(wav, 40, 4), 176400u);

    // --from alone runs to the end: beats 230 to 232 are 0.93 s, 4 frames at 4 per second.
    ASSERT_EQ(run("--from 230 -r 4 -o tail"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "4 frames at 4 per second from beat 230 to 232 in tail\n");
    EXPECT_EQ(contents("tail/soundtrack.wav").size(), 44u + 4u * 11025 * 4);

    // --to alone starts at beat 0, where a whole capture starts.
    ASSERT_EQ(run("--to 2 -r 4 -o head"), 0) << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"), "4 frames at 4 per second from beat 0 to 2 in head\n");
    ASSERT_EQ(run("-r 4 -t 1 -o whole"), 0) << contents("errors.txt");
    EXPECT_TRUE(contents("head/frame00003.png") == contents("whole/frame00003.png"));
}

TEST_F(Capture, AStretchCarriesTheSoundAWholeCaptureHasAtItsBeats)
{
    writeTestProduction(folder);
    folder.write("data/soundtrk.mp3", encodeMp3(makeNoise(26.0, 0.3, 7)));
    ASSERT_EQ(run("-r 1 -t 25 -o whole"), 0) << contents("errors.txt");
    ASSERT_EQ(run("--from 50 --to 52.149000040690104 -r 7 -o part"), 0) << contents("errors.txt");
    std::string whole = contents("whole/soundtrack.wav");
    std::string part = contents("part/soundtrack.wav");
    ASSERT_EQ(part.size(), 44u + 176400u);
    size_t start = size_t(soundOffsetAt(50.0));
    ASSERT_GE(whole.size(), 44 + start + 176400);
    EXPECT_TRUE(part.substr(44) == whole.substr(44 + start, 176400));
}

TEST_F(Capture, AStretchStartsWithTheFrameAtShowsAndPassesTheTextsOnItsWay)
{
    writeTestProduction(folder);
    // Both jump from beat 0 to the sound frame of beat 100.5, past ten sync times.
    ASSERT_EQ(run("--from 100.5 --to 101 -r 4 -o part"), 0) << contents("errors.txt");
    ASSERT_EQ(run("--at 100.5 -o at"), 0) << contents("errors.txt");
    std::string first = contents("part/frame00000.png");
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == contents("at/t100.500.png"));
    EXPECT_EQ(textNumberAtCentre("part/frame00000.png"), 10);

    // Frames at beats 22.3, 22.84, 23.37, 23.91, 24.45 and 24.99, where the flash is faint:
    // text 1 until the sync time at beat 24, then text 2.
    ASSERT_EQ(run("--from 22.3 --to 25.3 -r 4 -o across"), 0) << contents("errors.txt");
    std::vector<int> numbers;
    for (int k = 0; k < 6; ++k)
        numbers.push_back(textNumberAtCentre("across/frame0000" + std::to_string(k) + ".png"));
    EXPECT_EQ(numbers, (std::vector<int>{1, 1, 1, 1, 2, 2}));
}

TEST_F(Capture, AStretchAsAVideoHasItsFramesAndSoundAtTheFrameSize)
{
    writeTestProduction(folder);
    // Two seconds of music from beat 90, in a 16:9 frame.
    ASSERT_EQ(run("--from 90 --to 94.298000081380208 -r 10 --size 640x360 -o part.mp4"), 0)
        << contents("errors.txt");
    EXPECT_EQ(contents("output.txt"),
              "20 frames at 10 per second from beat 90 to 94.298 in part.mp4\n");
    std::string video = probe("part.mp4", "v:0");
    EXPECT_NE(video.find("width=640\nheight=360"), std::string::npos) << video;
    EXPECT_NE(video.find("nb_read_frames=20"), std::string::npos) << video;
    std::string audio = probe("part.mp4", "a:0");
    double seconds = std::atof(audio.substr(audio.find("duration=") + 9).c_str());
    EXPECT_NEAR(seconds, 2.0, 0.05) << audio;
}

TEST_F(Capture, AStretchPastTheEndOfTheSoundtrackIsOneLineOfErrorAndNoFile)
{
    writeTestProduction(folder);
    folder.write("data/soundtrk.mp3", silentSoundtrack(1.0));
    EXPECT_EQ(run("--from 10 -o frames"), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: the soundtrack ends before beat 10\n");
    EXPECT_FALSE(std::filesystem::exists("frames/frame00000.png"));
    EXPECT_FALSE(std::filesystem::exists("frames/soundtrack.wav"));
    EXPECT_FALSE(std::filesystem::exists("frames")); // nor the folder it made for them
    EXPECT_EQ(run("--from 10 -o part.mp4"), 1);
    EXPECT_EQ(contents("errors.txt"), "capture: the soundtrack ends before beat 10\n");
    EXPECT_FALSE(std::filesystem::exists("part.mp4"));
}

TEST_F(Capture, AStretchWhoseSoundtrackEndsBeforeItsEndSaysTheBeatItReached)
{
    writeTestProduction(folder);
    // Ten seconds of music end near beat 21.49, before the stretch's end at beat 30.
    folder.write("data/soundtrk.mp3", silentSoundtrack(10.0));
    ASSERT_EQ(run("--from 10 --to 30 -r 10 -o part"), 0) << contents("errors.txt");
    size_t frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator("part"))
        frames += entry.path().extension() == ".png";
    size_t soundBytes = contents("part/soundtrack.wav").size() - 44;

    std::string said = contents("output.txt");
    unsigned long long count = 0;
    double reached = 0;
    int length = 0;
    ASSERT_EQ(std::sscanf(said.c_str(), "%llu frames at 10 per second from beat 10 to %lf%n",
                          &count, &reached, &length),
              2)
        << said;
    EXPECT_EQ(count, frames);
    // The beat the sound reaches, to a hundredth: where the music ends, which its MP3's last
    // frames put a little past ten seconds.
    EXPECT_NEAR(reached, double(soundOffsetAt(10.0) + soundBytes) / 176400 * beatsPerSecond,
                0.01);
    EXPECT_NEAR(reached, 10.0 * beatsPerSecond, 0.5);
    EXPECT_EQ(said.substr(size_t(length)),
              " in part; the soundtrack ends before beat 30\n");
}

TEST_F(Capture, StretchesThatAreNotOneAreOneLineOfError)
{
    writeTestProduction(folder);
    struct Case {
        const char* arguments;
        const char* error;
    } cases[] = {
        {"--from x", "--from takes a demo time in beats such as 90, not \"x\""},
        {"--from ''", "--from takes a demo time in beats such as 90, not \"\""},
        {"--from ' 9'", "--from takes a demo time in beats such as 90, not \" 9\""},
        {"--to nan", "--to takes a demo time in beats such as 90, not \"nan\""},
        {"--from -1", "--from -1 is outside the production, whose demo time runs from 0 to 232"},
        {"--to 232.5", "--to 232.5 is outside the production, whose demo time runs from 0 to 232"},
        {"--from 104 --to 90", "--from 104 must be before --to 90"},
        {"--to 64.5 --from 64.5", "--from 64.5 must be before --to 64.5"},
        {"--from 232", "--from 232 must be before the production's end, 232"},
        {"--to 0", "--to 0 must be after the production's start, 0"},
        {"--from 90 --at 95", "--from and --at do not go together: a stretch or single moments, "
                              "not both"},
        {"--at 95 --to 100", "--to and --at do not go together: a stretch or single moments, "
                             "not both"},
        {"-t 5 --from 90", "-t and --from do not go together: --to says where a stretch ends"},
        {"--from", "--from needs a value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(std::string("-o out ") + c.arguments), 1) << c.arguments;
        EXPECT_EQ(contents("errors.txt"),
            std::string("capture: ") + c.error + " (see capture --help)\n");
    }
    EXPECT_FALSE(std::filesystem::exists("out"));
    EXPECT_FALSE(std::filesystem::exists("capture"));

    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(contents("output.txt").find("--from T, --to T"), std::string::npos);
}

} // namespace
} // namespace tincrates

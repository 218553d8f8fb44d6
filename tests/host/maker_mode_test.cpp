// The maker's mode through whole runs of a small production: keys that move music and picture
// together on the beat, and data files that change on disk while it plays.
#include "host/run_demo.h"

#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "datafiles/archive_writer.h"
#include "datafiles/data_file.h"
#include "production/frame_animation.h"
#include "production/timeline.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

namespace tincrates {
namespace {

using namespace tincrates::testing;

struct Shown {
    float t;
    unsigned textIndex;
    std::vector<uint32_t> pixels; // 640 × 480
};

// The production, noting the text index of every frame it draws.
class NotedTimeline : public Timeline {
public:
    NotedTimeline(IDirect3DDevice9& device, MusicStream& music, unsigned& textIndex)
        : Timeline(device, music)
        , noted(textIndex)
    {
    }
    void renderFrame(float t) override
    {
        Timeline::renderFrame(t);
        noted = textIndex;
    }

private:
    unsigned& noted;
};

// The demo time at which a jump to `beat` lands: the first sound frame at or after it.
float landedAt(double beat) { return demoTimeAt(double(soundOffsetAt(beat)) / 176400.0); }

struct MakerMode : ::testing::Test {
    MakerMode()
    {
        writeTestProduction(folder);
        int ends[2];
        if (pipe(ends) != 0)
            throw std::runtime_error("no pipe");
        commandRead = ends[0];
        commandWrite = ends[1];
        test.services.isMaker = true;
        test.services.commandInput = commandRead;
        test.services.createTimeline = [this](IDirect3DDevice9& device, MusicStream& music) {
            return std::make_unique<NotedTimeline>(device, music, textIndex);
        };
    }
    ~MakerMode() override
    {
        close(commandRead);
        close(commandWrite);
    }

    // Plays with `step` called after each frame with what it showed; the run ends when it
    // returns false (Escape is pressed).
    int play(const std::function<bool(const Shown&)>& step)
    {
        test.services.framePresented = [&](IDirect3DDevice9& device, float t) {
            Shown shown{t, textIndex, readTarget(device)};
            if (!step(shown))
                test.window->events.push_back({WindowEventType::KeyDown, true, Key::Escape});
        };
        return runDemo(test.services);
    }

    void press(Key key) { test.window->events.push_back({WindowEventType::KeyDown, false, key}); }

    static uint32_t centre(const Shown& shown) { return shown.pixels[240 * 640 + 320]; }

    ScratchDir folder;
    SelectedSilentClock clock;
    TestServices test;
    unsigned textIndex = 0;
    int commandRead = -1;
    int commandWrite = -1;
};

TEST_F(MakerMode, KeysMoveMusicAndPictureTogetherOnTheBeat)
{
    std::vector<Shown> frames;
    const double halfBeat = 0.5 / beatsPerSecond * 176400;
    int result = play([&](const Shown& shown) {
        frames.push_back(shown);
        // Keys pressed here act after this frame; the clock moves at once.
        switch (frames.size()) {
        case 1: clock.output->seek(bytesAtDemoTime(100.3)); break;
        case 2: press(Key::Right); break;
        case 3: press(Key::PageUp); break;
        case 4: clock.output->advance(uint64_t(halfBeat) & ~3ull); break;
        case 5: press(Key::Space); break;
        case 6: clock.output->advance(176400); break; // paused: no sound passes
        case 7: press(Key::Space); break;
        case 8: clock.output->advance(176400); break;
        case 9: press(Key::L); break;
        case 10: clock.output->seek(bytesAtDemoTime(96.3)); break; // past the phrase's end
        default: return false;
        }
        return true;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(frames.size(), 11u);
    EXPECT_NEAR(frames[1].t, 100.3, 1e-3);
    EXPECT_EQ(frames[1].textIndex, 10u);
    // Right: the next whole beat, music and picture.
    EXPECT_EQ(frames[2].t, landedAt(101));
    // Page Up: eight beats back, across the sync time at 97: the earlier text shows again.
    EXPECT_EQ(frames[3].t, landedAt(93));
    EXPECT_EQ(frames[3].textIndex, 9u);
    // Half a beat on, its image is there with the flash faded to (1/2)^2.5 of white.
    EXPECT_NEAR(frames[4].t, 93.5, 1e-3);
    uint32_t text = textColour(9);
    int flash = 45;
    EXPECT_NEAR(int(centre(frames[4]) >> 16 & 0xFF), int(text >> 16 & 0xFF) + flash, 1);
    EXPECT_NEAR(int(centre(frames[4]) >> 8 & 0xFF), int(text >> 8 & 0xFF) + flash, 1);
    // Space holds time while a second of sound would pass, and lets it run again.
    EXPECT_EQ(frames[5].t, frames[4].t);
    EXPECT_EQ(frames[6].t, frames[4].t);
    EXPECT_EQ(frames[7].t, frames[4].t);
    EXPECT_NEAR(frames[8].t, frames[7].t + beatsPerSecond, 1e-3);
    // L loops the phrase of beats 88 to 96: played past its end, it starts again.
    EXPECT_EQ(frames[10].t, landedAt(88));
    EXPECT_EQ(frames[10].textIndex, 9u); // the text that starts at 88
}

TEST_F(MakerMode, AHeldKeyStepsOnButTogglesAndTheViewersRunIgnoreRepeats)
{
    std::vector<float> times;
    auto held = [this](Key key) {
        test.window->events.push_back({WindowEventType::KeyDown, false, key, true});
    };
    int result = play([&](const Shown& shown) {
        times.push_back(shown.t);
        switch (times.size()) {
        case 1: press(Key::Right); held(Key::Right); held(Key::Right); break;
        case 2: held(Key::Space); clock.output->advance(176400); break; // not a pause
        default: return false;
        }
        return true;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[1], landedAt(3));
    EXPECT_NEAR(times[2], times[1] + beatsPerSecond, 1e-3);

    // Without --maker a held key prints its time once, when first pressed (the second line is
    // the Escape that ends the run).
    test.services.isMaker = false;
    times.clear();
    ::testing::internal::CaptureStdout();
    result = play([&](const Shown& shown) {
        times.push_back(shown.t);
        if (times.size() == 1) {
            press(Key::Right);
            held(Key::Right);
            held(Key::Other);
        }
        return times.size() < 2;
    });
    std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output, "time 0.000000\ntime 0.000000\n");
}

TEST_F(MakerMode, TheStatusLineShowsInTheTopLeftCornerUntilF1HidesIt)
{
    auto lettersInTheCorner = [](const Shown& shown) {
        int white = 0;
        for (int y = 4; y < 4 + 18; ++y)
            for (int x = 4; x < 400; ++x)
                white += (shown.pixels[size_t(y) * 640 + x] & 0xFFFFFF) == 0xFFFFFF;
        return white;
    };
    std::vector<int> letters;
    int result = play([&](const Shown& shown) {
        letters.push_back(lettersInTheCorner(shown));
        if (letters.size() == 1)
            press(Key::F1);
        return letters.size() < 2;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(letters.size(), 2u);
    // "beat 0.00 | phrase 1 beat 1/8 | no text" in white over the black of the first frame.
    EXPECT_GT(letters[0], 200);
    EXPECT_EQ(letters[1], 0);
}

// The lit crates' colour in a frame before beat 8, when nothing covers the scene: how many
// sampled pixels are clearly warm and how many clearly cold.
struct Warmth {
    int warm = 0;
    int cold = 0;
};
Warmth warmthOf(const Shown& shown)
{
    Warmth warmth;
    for (size_t i = 0; i < shown.pixels.size(); i += 7) {
        int red = int(shown.pixels[i] >> 16 & 0xFF);
        int blue = int(shown.pixels[i] & 0xFF);
        warmth.warm += red > blue + 60;
        warmth.cold += blue > red + 60;
    }
    return warmth;
}

const char* blueMaterial = R"(<material>
  <diffuse r="0.2" g="0.6" b="1"/>
  <texture file="crate.png"/>
</material>
)";

// Packs every file of the folder's data/ into its stashpack, as `stash create` does.
void packDataFolder(const ScratchDir& folder)
{
    ArchiveSettings settings;
    settings.password = dataArchivePassword;
    ArchiveWriter writer((folder.path / dataArchiveName).string(), settings);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path / "data")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        writer.addMember(entry.path().filename().string(), bytes, 0);
    }
    writer.finish();
}

// Plays while a maker edits data/crate.material (to blue, then broken, then back) and then
// saves a note beside it; returns what the run wrote on standard error.
std::string editWhilePlaying(MakerMode& test)
{
    using Clock = std::chrono::steady_clock;
    enum class Stage { Start, Changed, Broken, Mended, Noted } stage = Stage::Start;
    Clock::time_point since;
    std::vector<uint32_t> lastGood;
    bool keptWhileBroken = true;
    int framesWhileBroken = 0;
    ::testing::internal::CaptureStderr();
    int result = test.play([&](const Shown& shown) {
        Warmth warmth = warmthOf(shown);
        auto now = Clock::now();
        switch (stage) {
        case Stage::Start:
            test.clock.output->seek(bytesAtDemoTime(5.0));
            if (shown.t < 4.9)
                return true;
            EXPECT_GT(warmth.warm, 100);
            EXPECT_EQ(warmth.cold, 0);
            test.folder.write("data/crate.material", blueMaterial);
            stage = Stage::Changed;
            since = now;
            return true;
        case Stage::Changed:
            // Files are looked at five times a second and loaded once they are still.
            if (warmth.cold < 100)
                return now - since < std::chrono::seconds(20);
            EXPECT_EQ(warmth.warm, 0);
            lastGood = shown.pixels;
            test.folder.write("data/crate.material", "<material>\n  <diffuse r=\"1\" g=\"0.6\"\n");
            stage = Stage::Broken;
            since = now;
            return true;
        case Stage::Broken:
            ++framesWhileBroken;
            // Below the status line, which now tells the error.
            keptWhileBroken = keptWhileBroken
                && std::equal(shown.pixels.begin() + 32 * 640, shown.pixels.end(),
                    lastGood.begin() + 32 * 640);
            if (now - since < std::chrono::milliseconds(1500))
                return true;
            test.folder.write("data/crate.material", testMaterial);
            stage = Stage::Mended;
            since = now;
            return true;
        case Stage::Mended:
            if (warmth.warm < 100)
                return now - since < std::chrono::seconds(20);
            test.folder.write("data/notes.txt", "to do: a bluer crate");
            stage = Stage::Noted;
            since = now;
            return true;
        case Stage::Noted:
            return now - since < std::chrono::milliseconds(1000);
        }
        return false;
    });
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stage, Stage::Noted) << "a change was never seen\n" << errors;
    EXPECT_GT(framesWhileBroken, 10);
    EXPECT_TRUE(keptWhileBroken) << "a broken file changed the picture";
    EXPECT_NE(errors.find("tincrates: reloaded crate.material in "), std::string::npos) << errors;
    EXPECT_NE(errors.find("tincrates: crate.material changed and does not load; the last good "
                          "version stays:\nFailed to load voltcrate.scene\n"),
        std::string::npos)
        << errors;
    EXPECT_NE(errors.find("Failed to load crate.material\nline "), std::string::npos) << errors;
    // A file the production does not use is told, not reloaded.
    EXPECT_NE(errors.find("tincrates: notes.txt changed: nothing shown comes from it\n"),
        std::string::npos) << errors;
    EXPECT_EQ(errors.find("reloaded notes.txt"), std::string::npos) << errors;
    return errors;
}

TEST_F(MakerMode, AChangedMaterialShowsAtOnceAndABrokenOneKeepsTheLastGoodPicture)
{
    std::string errors = editWhilePlaying(*this);
    EXPECT_EQ(errors.find("overrides"), std::string::npos) << errors;
}

// With the archive packed beside data/, the loose file being edited is still the one shown,
// broken or not; the run says once that data/ overrides the archive.
TEST_F(MakerMode, BesideTheArchiveTheLooseFileBeingEditedIsTheOneShown)
{
    packDataFolder(folder);
    std::string errors = editWhilePlaying(*this);
    const std::string overrides
        = "tincrates: data/ overrides stashpack: its files are shown in place of the archive's\n";
    EXPECT_EQ(errors.find(overrides), 0u) << errors;
    EXPECT_EQ(errors.find(overrides, 1), std::string::npos) << errors;
}

TEST(MakerModeOfTheProgram, WithoutAScreenCommandsComeFromStandardInputOneAFrame)
{
    ScratchDir folder;
    writeTestProduction(folder);
    // Paused first, so that the real-time clock of a machine without sound stands still.
    folder.write("commands.txt", "space\nbeat 100.5\nleft\n\n[\npagedown\nl\nhop\nf1\nquit\n");
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "
        + std::string(TINCRATES_PROGRAM) + " --maker <commands.txt >output.txt 2>errors.txt";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::ifstream outputFile("output.txt");
    std::string output(std::istreambuf_iterator<char>(outputFile), {});
    // The first line tells where the pause caught the clock; the rest are exact.
    size_t first = output.find('\n');
    ASSERT_NE(first, std::string::npos) << output;
    EXPECT_NE(output.substr(0, first).find("| paused"), std::string::npos) << output;
    EXPECT_EQ(output.substr(first + 1),
        "beat 100.50 | phrase 13 beat 5/8 | text 10 | paused\n"
        "beat 100.00 | phrase 13 beat 5/8 | text 10 | paused\n"
        "beat 97.00 | phrase 13 beat 2/8 | text 10 | paused\n"
        "beat 105.00 | phrase 14 beat 2/8 | text 11 | paused\n"
        "beat 105.00 | phrase 14 beat 2/8 | text 11 | paused | loop 104-112\n"
        "beat 105.00 | phrase 14 beat 2/8 | text 11 | paused | loop 104-112\n");
    std::ifstream errorFile("errors.txt");
    std::string errors(std::istreambuf_iterator<char>(errorFile), {});
    EXPECT_NE(errors.find("tincrates: unknown command \"hop\""), std::string::npos) << errors;
}

} // namespace
} // namespace tincrates

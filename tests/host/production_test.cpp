// The whole production, played headless on a small test production with a silent clock that
// the test moves from one chosen moment to the next; the pixels of each frame are read back.
#include "host/run_demo.h"

#include "audio/silent_clock.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace tincrates {
namespace {

using namespace tincrates::testing;

struct Frame {
    float t;
    std::vector<uint32_t> pixels; // 640 × 480, top row first
};

struct Production : ::testing::Test {
    Production() { writeTestProduction(folder); }

    // Plays the production showing a frame at about each of `times` (the first frame is at 0),
    // then jumps past the end.
    int play(std::vector<double> times)
    {
        size_t next = 0;
        test.services.framePresented = [this, times, next](IDirect3DDevice9& device,
                                           float t) mutable {
            frames.push_back({t, readTarget(device)});
            double target = next < times.size() ? times[next++] : 233.0;
            clock.output->seek(bytesAtDemoTime(target));
        };
        return runDemo(test.services);
    }

    // The white flash on the beat, as it adds to every pixel: its texture factor's alpha byte.
    static int flashAt(float t)
    {
        double opacity = std::pow(1.0 - std::fmod(double(t), 1.0), 2.5);
        return int(std::min(opacity, 1.0) * 255.0);
    }

    static uint32_t pixel(const Frame& frame, int x, int y)
    {
        return frame.pixels[size_t(y) * 640 + size_t(x)];
    }

    // Writes the frame as a PNG into the folder named by TINCRATES_TEST_FRAMES, if set.
    static void keep(const Frame& frame, const std::string& name)
    {
        const char* folder = std::getenv("TINCRATES_TEST_FRAMES");
        if (folder)
            writePng((std::filesystem::path(folder) / name).string(), 640, 480, frame.pixels);
    }

    ScratchDir folder;
    SelectedSilentClock clock;
    TestServices test;
    std::vector<Frame> frames;
};

void expectColour(uint32_t actual, int red, int green, int blue, const std::string& where)
{
    auto clampByte = [](int value) { return std::min(value, 255); };
    EXPECT_NEAR(redOf(actual), clampByte(red), 1) << where;
    EXPECT_NEAR(greenOf(actual), clampByte(green), 1) << where;
    EXPECT_NEAR(blueOf(actual), clampByte(blue), 1) << where;
}

TEST_F(Production, ShowsTheTextsCreditsFlashesAndFadeOnTime)
{
    EXPECT_EQ(play({5.0, 9.5, 100.5, 168.5, 196.5, 231.99}), 0);
    EXPECT_TRUE(test.messages.empty());
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_GT(frames.back().t, 232.0f);
    keep(frames[1], "production_beat_5.png");
    keep(frames[3], "production_beat_100.png");

    // Before beat 8 nothing is laid over the scene: the corners stay the cleared black.
    for (int i : {0, 1})
        expectColour(pixel(frames[i], 2, 2), 0, 0, 0, "corner at t=" + std::to_string(i));

    struct Expected {
        size_t frame;
        uint32_t centre; // the overlay at the centre, before the flash
    };
    for (Expected expected : {Expected{2, textColour(0)}, Expected{3, textColour(10)},
             Expected{4, textColour(22)}, Expected{5, creditsColour}}) {
        const Frame& frame = frames[expected.frame];
        int flash = flashAt(frame.t);
        std::string when = " at t=" + std::to_string(frame.t);
        expectColour(pixel(frame, 2, 2), flash, flash, flash, "corner" + when);
        expectColour(pixel(frame, 630, 470), flash, flash, flash, "corner" + when);
        uint32_t c = expected.centre;
        expectColour(pixel(frame, 320, 240), redOf(c) + flash, greenOf(c) + flash,
            blueOf(c) + flash, "centre" + when);
        // The caption covers the centre 352 × 120 pixels and no more.
        expectColour(pixel(frame, 320 - 170, 240 - 55), redOf(c) + flash, greenOf(c) + flash,
            blueOf(c) + flash, "inside the caption" + when);
        EXPECT_NE(pixel(frame, 320 - 190, 240 - 70), pixel(frame, 320, 240)) << when;
    }

    // Just before the end the black fade covers everything, the flash has died away.
    const Frame& last = frames[6];
    EXPECT_EQ(flashAt(last.t), 0);
    expectColour(pixel(last, 320, 240), 0, 0, 0, "centre at the end");
    expectColour(pixel(last, 100, 300), 0, 0, 0, "scene at the end");
}

TEST_F(Production, AWindowResizedWhilePlayingShowsWhatOneOfThatSizeWouldShow)
{
    // The same moments, once in a window of 800 × 600 from the start and once in one that
    // is 640 × 480 until the first frame has been shown: the new back buffer comes with
    // every device state at its default, and the production must set again all it draws with.
    auto playIn = [this](int width, int height, bool isResizedLater) {
        frames.clear();
        DisplayServices display = test.services.display;
        test.services.display.createWindow = [&, display](const std::string& title, int w,
                                                 int h, bool fullScreen) {
            auto made = display.createWindow(title, w, h, fullScreen);
            test.window->shownWidth = isResizedLater ? 640 : width;
            test.window->shownHeight = isResizedLater ? 480 : height;
            return made;
        };
        size_t next = 0;
        std::vector<double> times = {9.5, 100.5, 196.5};
        test.services.framePresented = [&](IDirect3DDevice9& device, float t) {
            frames.push_back({t, readTarget(device)});
            test.window->shownWidth = width;
            test.window->shownHeight = height;
            clock.output->seek(bytesAtDemoTime(next < times.size() ? times[next++] : 233.0));
        };
        EXPECT_EQ(runDemo(test.services), 0);
        test.services.display = display;
    };
    playIn(800, 600, false);
    std::vector<Frame> fromTheStart = std::move(frames);
    playIn(800, 600, true);
    ASSERT_EQ(frames.size(), fromTheStart.size());
    EXPECT_EQ(frames[0].pixels.size(), 640u * 480u);
    for (size_t i = 1; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].pixels.size(), 800u * 600u) << "frame " << i;
        EXPECT_TRUE(frames[i].pixels == fromTheStart[i].pixels) << "at t=" << frames[i].t;
    }
}

TEST_F(Production, TheScenesCratesAreDrawnAndGlow)
{
    // Before beat 8 nothing covers the scene.
    EXPECT_EQ(play({5.0}), 0);
    ASSERT_EQ(frames.size(), 3u);
    const Frame& frame = frames[1];
    // The lit crates are warm (the material's diffuse colour is orange); the glow spreads
    // dimmer warm light around them, over the cleared black.
    int lit = 0;
    int glowing = 0;
    for (int y = 0; y < 480; y += 4)
        for (int x = 0; x < 640; x += 4) {
            uint32_t p = pixel(frame, x, y);
            EXPECT_GE(redOf(p), blueOf(p)) << x << ", " << y;
            if (redOf(p) > 200)
                ++lit;
            else if (redOf(p) > 10)
                ++glowing;
        }
    EXPECT_GT(lit, 50);
    EXPECT_GT(glowing, lit);
    expectColour(pixel(frame, 2, 2), 0, 0, 0, "corner");
}

TEST_F(Production, AMissingSceneIsReportedThroughTheSceneManager)
{
    std::filesystem::remove("data/voltcrate.scene");
    EXPECT_EQ(play({}), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Failed to load voltcrate.scene\nFile not found");
    EXPECT_TRUE(frames.empty());
}

TEST_F(Production, AMissingImageDeepInTheSceneGivesOneLinePerLoader)
{
    std::filesystem::remove("data/crate.png");
    EXPECT_EQ(play({}), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text,
        "Failed to load voltcrate.scene\nFailed to load crate.mesh\n"
        "Failed to load crate.material\nFailed to load crate.png\nfile not found: crate.png");
}

TEST_F(Production, AMissingTextImageIsReported)
{
    std::filesystem::remove("data/text17.png");
    EXPECT_EQ(play({}), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Failed to load text17.png\nfile not found: text17.png");
}

TEST_F(Production, ASceneWithoutTheFiveMovedObjectsIsAClearLoadError)
{
    folder.write("data/voltcrate.scene",
        "<scene><object/><object mesh=\"crate.mesh\"/><object/></scene>");
    EXPECT_EQ(play({}), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text,
        "Failed to load voltcrate.scene\nThe production moves five objects; the scene has 3");

    test.messages.clear();
    folder.write("data/voltcrate.scene",
        "<scene><object mesh=\"crate.mesh\"/><object/><object/><object/><object/></scene>");
    EXPECT_EQ(play({}), 1);
    ASSERT_EQ(test.messages.size(), 1u);
    EXPECT_EQ(test.messages[0].text, "Failed to load voltcrate.scene\n"
        "The second object needs a mesh whose first group has a material");
}

} // namespace
} // namespace tincrates

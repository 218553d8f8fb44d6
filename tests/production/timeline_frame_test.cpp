// What one frame of the timeline asks of the device: the scene into the glow's texture, the
// six blur passes, the scene again to the screen, then the overlays with their blends.
#include "production/timeline.h"

#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "platform/gpu/shared_device.h"
#include "support/demo_fixture.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace tincrates {
namespace {

using namespace tincrates::testing;

struct TimelineFrame : ::testing::Test {
    TimelineFrame()
    {
        writeTestProduction(folder);
        publishSharedDevice(&recorder);
        music.load("soundtrk.mp3", 0.0);
        music.play();
        timeline = std::make_unique<Timeline>(recorder, music);
        timeline->build();
    }
    ~TimelineFrame() override
    {
        timeline.reset();
        publishSharedDevice(nullptr);
    }

    // The calls of one frame at demo time `t`.
    std::vector<std::string> frameCalls(float t)
    {
        recorder.calls.clear();
        recorder.BeginScene();
        timeline->renderFrame(t);
        recorder.EndScene();
        return recorder.calls;
    }

    // The calls that change targets or draw, by name only.
    static std::vector<std::string> passes(const std::vector<std::string>& calls)
    {
        std::vector<std::string> names;
        for (const std::string& call : calls) {
            std::string name = call.substr(0, call.find(' '));
            if (name == "SetRenderTarget" || name == "Clear" || name == "DrawPrimitive"
                || name == "DrawIndexedPrimitive")
                names.push_back(name);
        }
        return names;
    }

    // For each overlay drawn after the last scene draw: "source destination factor", from
    // the blend and texture factor states in force at its draw (blending on for all).
    static std::vector<std::string> overlays(const std::vector<std::string>& calls)
    {
        size_t start = 0;
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind("DrawIndexedPrimitive", 0) == 0)
                start = i + 1;
        std::vector<std::string> result;
        std::string source = "?", destination = "?", factor = "?";
        for (size_t i = start; i < calls.size(); ++i) {
            const std::string& call = calls[i];
            auto value = [&call] { return call.substr(call.rfind(' ') + 1); };
            if (call.rfind("SetRenderState 19 ", 0) == 0)
                source = value();
            else if (call.rfind("SetRenderState 20 ", 0) == 0)
                destination = value();
            else if (call.rfind("SetRenderState 60 ", 0) == 0)
                factor = value();
            else if (call.rfind("DrawPrimitive", 0) == 0)
                result.push_back(source + " " + destination + " " + factor);
        }
        return result;
    }

    static std::string factorOf(double opacity)
    {
        return std::to_string(uint32_t(opacity * 255.0) << 24);
    }

    ScratchDir folder;
    SelectedSilentClock clock;
    HeadlessDevice device{640, 480, D3DFMT_X8R8G8B8};
    RecordingDevice recorder{*device.get()};
    MusicStream music{nullptr};
    std::unique_ptr<Timeline> timeline;
};

TEST_F(TimelineFrame, DrawsTheGlowPassesBeforeTheScreenAndTheOverlaysLast)
{
    std::vector<std::string> expected = {"SetRenderTarget", "Clear"};
    for (int crate = 0; crate < 4; ++crate)
        expected.push_back("DrawIndexedPrimitive");
    expected.push_back("SetRenderTarget");
    for (int pass = 0; pass < 6; ++pass) {
        expected.push_back("SetRenderTarget");
        for (int tap = 0; tap < 3; ++tap)
            expected.push_back("DrawPrimitive");
        expected.push_back("SetRenderTarget");
    }
    expected.push_back("Clear");
    for (int crate = 0; crate < 4; ++crate)
        expected.push_back("DrawIndexedPrimitive");
    for (int overlay = 0; overlay < 3; ++overlay)
        expected.push_back("DrawPrimitive");
    EXPECT_EQ(passes(frameCalls(9.5f)), expected);
}

TEST_F(TimelineFrame, LaysGlowTextAndFlashWithTheirBlends)
{
    EXPECT_EQ(overlays(frameCalls(5.0f)), std::vector<std::string>{"2 2 " + factorOf(1.0)});
    std::vector<std::string> expected = {"2 2 " + factorOf(1.0), "5 6 " + factorOf(1.0),
        "5 2 " + factorOf(0.1767766952966369)};
    EXPECT_EQ(overlays(frameCalls(9.5f)), expected);
}

TEST_F(TimelineFrame, AtTheEndCreditsAndBlackComeBetweenTextAndFlash)
{
    // Beat 196.5: the last text has faded (opacity clamped to 0, so it is not drawn), credits
    // stand full.
    std::vector<std::string> credits = {
        "2 2 " + factorOf(1.0), "5 6 " + factorOf(1.0), "5 2 " + factorOf(std::pow(0.5, 2.5))};
    EXPECT_EQ(overlays(frameCalls(196.5f)), credits);
    // Beat 216.5: the credits have gone too; the black fade is a little over half way.
    std::vector<std::string> fade = {"2 2 " + factorOf(1.0), "5 6 " + factorOf(16.5 * 0.03125),
        "5 2 " + factorOf(std::pow(0.5, 2.5))};
    EXPECT_EQ(overlays(frameCalls(216.5f)), fade);
}

TEST_F(TimelineFrame, SetsTheFogAndAddsItsLightAfterTheScenesOwn)
{
    std::vector<std::string> calls = frameCalls(20.0f);
    auto has = [&calls](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    EXPECT_TRUE(has("SetRenderState 28 1"));
    EXPECT_TRUE(has("SetRenderState 36 " + std::to_string(std::bit_cast<uint32_t>(60.0f))));
    EXPECT_TRUE(has("SetRenderState 37 " + std::to_string(std::bit_cast<uint32_t>(500.0f))));
    EXPECT_TRUE(has("SetLight 1"));
    EXPECT_TRUE(has("LightEnable 2 0"));

    D3DLIGHT9 light{};
    device->GetLight(1, &light);
    EXPECT_FLOAT_EQ(light.Position.x, float(-70.0 * std::sin(0.7 * 20.0)));
    EXPECT_FLOAT_EQ(light.Position.y, float(70.0 * std::sin(0.7 * 20.0)));
    EXPECT_FLOAT_EQ(light.Position.z, float(70.0 * std::cos(0.7 * 20.0)));
}

TEST_F(TimelineFrame, TheCratesMaterialTurnsOpaqueAtBeatEight)
{
    D3DMATERIAL9 material{};
    frameCalls(7.5f);
    device->GetMaterial(&material);
    EXPECT_EQ(material.Diffuse.a, 0.0f);
    frameCalls(8.0f);
    device->GetMaterial(&material);
    EXPECT_EQ(material.Diffuse.a, 1.0f);
}

TEST_F(TimelineFrame, AfterDestroyANewTimelineLoadsEverythingAfresh)
{
    frameCalls(10.0f);
    timeline->destroy();
    timeline->destroy();
    timeline = std::make_unique<Timeline>(recorder, music);
    recorder.calls.clear();
    timeline->build();
    // The images are decoded again into new textures, none handed out from the old run.
    size_t textures = 0;
    for (const std::string& call : recorder.calls)
        if (call.rfind("CreateTexture", 0) == 0)
            ++textures;
    EXPECT_GE(textures, 26u);
    EXPECT_EQ(passes(frameCalls(10.0f)).size(), 45u);
}

} // namespace
} // namespace tincrates

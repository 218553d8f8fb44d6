// What the host's tests play the production with: a headless window whose events the test
// scripts, the small production of testbed/test_production.h, and services that keep messages
// for the test instead of showing them.
#pragma once

#include "host/run_demo.h"
#include "platform/sound/audio_output.h"
#include "platform/window/headless_window.h"
#include "production/frame_animation.h"
#include "production/timeline.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"
#include "testbed/test_production.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tincrates::testing {

// A headless window that hands out the events and Escape state the test gives it.
class ScriptedWindow : public HeadlessWindow {
public:
    bool pollEvent(WindowEvent& event) override
    {
        if (events.empty())
            return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    bool isEscapeDown() const override { return isEscapeHeld; }
    void setCursorVisible(bool visible) override { cursorChanges.push_back(visible); }
    // The size a screen would show it at; 0 × 0, as without a screen, unless a test sets it.
    int drawableWidth() const override { return shownWidth; }
    int drawableHeight() const override { return shownHeight; }
    int shownWidth = 0;
    int shownHeight = 0;
    std::deque<WindowEvent> events;
    bool isEscapeHeld = false;
    std::vector<bool> cursorChanges;
};

// What a StubTimeline did, kept by the test beyond the stub's life.
struct StubRecord {
    std::vector<std::string> log; // "build", "destroy", "timeline gone"
    std::vector<float> times;     // the demo time of every frame
    std::function<void()> onBuild;
    std::function<void(float)> onFrame;
};

// A production that only records what the entry asks of it; each step can be given work.
class StubTimeline : public Timeline {
public:
    StubTimeline(IDirect3DDevice9& device, MusicStream& music, StubRecord& record)
        : Timeline(device, music)
        , record(record)
    {
    }
    ~StubTimeline() override { record.log.push_back("timeline gone"); }

    void build() override
    {
        record.log.push_back("build");
        if (record.onBuild)
            record.onBuild();
    }
    void renderFrame(float t) override
    {
        record.times.push_back(t);
        if (record.onFrame)
            record.onFrame(t);
    }
    void destroy() override { record.log.push_back("destroy"); }

private:
    StubRecord& record;
};

// A message the host showed.
struct ShownMessage {
    std::string text;
    std::string caption;
};

// Services for a run on a scripted headless window; messages are kept in `messages`.
struct TestServices {
    TestServices()
    {
        services.display.createWindow = [this](const std::string&, int, int, bool) {
            window = std::make_shared<ScriptedWindow>();
            return window;
        };
        services.display.showMessage = [this](const std::string& text,
                                           const std::string& caption) {
            messages.push_back({text, caption});
        };
    }
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    // Plays the run with a StubTimeline that writes into `stub`.
    void useStubTimeline()
    {
        services.createTimeline = [this](IDirect3DDevice9& device, MusicStream& music) {
            return std::make_unique<StubTimeline>(device, music, stub);
        };
    }

    DemoServices services;
    StubRecord stub;
    std::shared_ptr<ScriptedWindow> window; // the last window made
    std::vector<ShownMessage> messages;
};

// A byte position of the soundtrack (whole 4-byte frames) at which the demo time is about `t`.
inline uint64_t bytesAtDemoTime(double t)
{
    return uint64_t(std::llround(t / beatsPerSecond * audioSampleRate)) * audioBytesPerFrame;
}

} // namespace tincrates::testing

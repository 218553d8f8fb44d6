// The production's entry in a web page. With no arguments it plays the production with sound;
// with --at T it shows the frame at demo time T, still and silent, as capture --at renders it,
// then waits for the page to name a later time (the page's address ?t=T and its
// tincrates.showTime). The page (web/tincrates.js) starts it once the data files are in place.
#include "host/back_ends.h"
#include "host/run_demo.h"
#include "platform/sound/silent_audio_output.h"
#include "platform/window/window.h"
#include "production/frame_animation.h"

#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace tincrates;


// What the page is told as the run goes: each frame shown, each still frame, the end.
EM_JS(void, reportFrame, (double demoTime), {
    if (Module.onFrame)
        Module.onFrame(demoTime);
});

EM_JS(void, reportEnd, (int exitCode), {
    if (Module.onEnd)
        Module.onEnd(exitCode);
});

// Tells the page that the still frame at `demoTime` is on the canvas and waits for the next
// time it asks for; a negative time ends the run.
EM_ASYNC_JS(double, showStillAndWait, (double demoTime), {
    return await Module.onStillFrame(demoTime);
});

int play()
{
    DemoServices services = machineDemoServices();
    services.framePresented = [](IDirect3DDevice9&, float t) { reportFrame(t); };
    return runDemo(services);
}

// The frames at the times the page names, on a clock that jumps to each and stands still
// there: the production sees a stalled music stream, as in a capture of chosen moments.
int showStills(double firstTime)
{
    double wanted = firstTime;
    bool isFinished = false;
    SilentAudioOutput* clock = nullptr; // owned by the audio layer while the music exists
    std::shared_ptr<Window> window;
    DemoServices services = machineDemoServices();
    DisplayServices display = services.display;
    services.display.createWindow = [&window, display](const std::string& title, int width,
                                        int height, bool fullScreen) {
        window = display.createWindow(title, width, height, fullScreen);
        return window;
    };
    services.audioOutput = [&clock]() -> std::unique_ptr<AudioOutput> {
        auto made = std::make_unique<SilentAudioOutput>();
        clock = made.get();
        return made;
    };
    services.framePresented = [&](IDirect3DDevice9&, float t) {
        if (isFinished)
            return;
        uint64_t target = soundOffsetAt(wanted);
        if (clock->position() == target) {
            wanted = showStillAndWait(double(t));
            if (wanted < 0) {
                isFinished = true;
                return;
            }
            target = soundOffsetAt(wanted);
        }
        if (target > clock->position())
            clock->advance(target - clock->position());
        if (clock->position() != target)
            throw std::string("the soundtrack ends before beat " + std::to_string(wanted));
    };
    // Closing is asked for once the page wants no more frames.
    services.framePresented = [inner = services.framePresented, &isFinished](
                                  IDirect3DDevice9& device, float t) {
        inner(device, t);
        if (isFinished)
            EM_ASM({ Module._tincrates_request_close(); });
    };
    return runDemo(services);
}

} // namespace

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (argc == 3 && std::strcmp(argv[1], "--at") == 0) {
        char* end = nullptr;
        double t = std::strtod(argv[2], &end);
        if (*argv[2] == '\0' || *end || !(t >= 0) || t > endTime) {
            std::fprintf(stderr, "tincrates: --at takes a demo time from 0 to 232\n");
            exitCode = 1;
        } else {
            exitCode = showStills(t);
        }
    } else if (argc == 1) {
        exitCode = play();
    } else {
        std::fprintf(stderr, "tincrates: usage: tincrates_web [--at T]\n");
        exitCode = 1;
    }
    reportEnd(exitCode);
    return exitCode;
}

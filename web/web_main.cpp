// The production's entry in a web page. With no arguments it plays the production with sound,
// drawn at the canvas's size; with --at T it shows the frame at demo time T, still and
// silent, as capture --at renders it, then waits for the page to name a later time (the
// page's address ?t=T and its tincrates.showTime). --size WxH draws at that fixed size (?size=
// in the address). The page (web/tincrates.js) starts it once the data files are in place.
#include "audio/silent_clock.h"
#include "host/back_ends.h"
#include "host/run_demo.h"
#include "platform/sound/audio_output.h"
#include "platform/window/window.h"
#include "production/frame_animation.h"
#include "production/picture_size.h"

#include <emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

using namespace tincrates;

// The size of the picture the device draws, which the page's tests compare with the canvas.
PictureSize backBufferSize(IDirect3DDevice9& device)
{
    IDirect3DSurface9* backBuffer = nullptr;
    if (FAILED(device.GetBackBuffer(0, 0, 0, &backBuffer)) || !backBuffer)
        return {};
    D3DSURFACE_DESC description{};
    backBuffer->GetDesc(&description);
    backBuffer->Release();
    return {int(description.Width), int(description.Height)};
}

// What the page is told as the run goes: each frame shown with the size it was drawn at,
// each still frame, the end.
EM_JS(void, reportFrame, (double demoTime, int width, int height), {
    if (Module.onFrame)
        Module.onFrame(demoTime, width, height);
});

EM_JS(void, reportEnd, (int exitCode), {
    if (Module.onEnd)
        Module.onEnd(exitCode);
});

// Tells the page that the still frame at `demoTime` is on the canvas and waits for the next
// time it asks for; a negative time ends the run.
EM_ASYNC_JS(double, showStillAndWait, (double demoTime, int width, int height), {
    return await Module.onStillFrame(demoTime, width, height);
});

// Without a fixed size, the picture follows the canvas, which the page keeps at the size it
// is shown at in the screen's pixels. It keeps that size however fast the frames come: the
// browser paces and scales its canvas itself, and the page promises the canvas's pixels.
int play(std::optional<PictureSize> pictureSize)
{
    DemoServices services = machineDemoServices();
    services.pictureSize = pictureSize;
    services.adaptsPictureSize = false;
    services.framePresented = [](IDirect3DDevice9& device, float t) {
        PictureSize size = backBufferSize(device);
        reportFrame(t, size.width, size.height);
    };
    return runDemo(services);
}

// The frames at the times the page names, on a clock that jumps to each and stands still
// there: the production sees a stalled music stream, as in a capture of chosen moments. They
// are drawn at 640 x 480 unless another size is asked for, as capture --at draws them.
int showStills(double firstTime, std::optional<PictureSize> pictureSize)
{
    double wanted = firstTime;
    bool isFinished = false;
    SilentClock clock;
    std::shared_ptr<Window> window;
    DemoServices services = machineDemoServices();
    services.pictureSize = pictureSize.value_or(originalPictureSize);
    DisplayServices display = services.display;
    services.display.createWindow = [&window, display](const std::string& title, int width,
                                        int height, bool fullScreen) {
        window = display.createWindow(title, width, height, fullScreen);
        return window;
    };
    services.audioOutput = clock.factory();
    services.framePresented = [&](IDirect3DDevice9& device, float t) {
        if (isFinished)
            return;
        uint64_t target = soundOffsetAt(wanted);
        if (clock.position() == target) {
            PictureSize size = backBufferSize(device);
            wanted = showStillAndWait(double(t), size.width, size.height);
            if (wanted < 0) {
                isFinished = true;
                return;
            }
            target = soundOffsetAt(wanted);
        }
        clock.stepTo(target);
        if (clock.position() != target)
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

int fail(const std::string& message)
{
    std::fprintf(stderr, "tincrates: %s\n", message.c_str());
    return 1;
}

int run(int argc, char** argv)
{
    std::optional<double> stillTime;
    std::optional<PictureSize> pictureSize;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            double t = 0;
            if (!readBeats(argv[++i], t) || !isWithinProduction(t))
                return fail("--at takes a demo time from 0 to " + std::to_string(int(endTime)));
            stillTime = t;
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            PictureSize size;
            std::string reason = readFourByThreeSize(argv[++i], "--size", size);
            if (!reason.empty())
                return fail(reason);
            pictureSize = size;
        } else {
            return fail("usage: tincrates_web [--at T] [--size WIDTHxHEIGHT]");
        }
    }
    return stillTime ? showStills(*stillTime, pictureSize) : play(pictureSize);
}

} // namespace

int main(int argc, char** argv)
{
    int exitCode = run(argc, argv);
    reportEnd(exitCode);
    return exitCode;
}

// The production's facts that the page needs before the program runs: the end of the demo
// time, past which no still is asked for, and the sound's rate, at which the page opens its
// audio context.
extern "C" EMSCRIPTEN_KEEPALIVE double tincrates_end_time() { return tincrates::endTime; }
extern "C" EMSCRIPTEN_KEEPALIVE int tincrates_sample_rate()
{
    return int(tincrates::audioSampleRate);
}

// The page checks the size in its address (?size=WxH) before it fetches anything, so that a
// bad one is refused at once rather than after the click that starts the sound. Returns an
// empty text or the reason, valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tincrates_picture_size_problem(const char* text)
{
    static std::string reason;
    tincrates::PictureSize size;
    reason = readFourByThreeSize(text, "?size", size);
    return reason.c_str();
}

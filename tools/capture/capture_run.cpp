// One headless run of the production for capture.
#include "tools/capture/capture_run.h"

#include "host/run_demo.h"
#include "platform/window/headless_window.h"
#include "production/frame_animation.h"
#include "production/picture_size.h"

#include <cstdio>
#include <memory>
#include <string>

namespace tincrates {

namespace {

// A headless window that asks the run to end once the capture has what it needs.
class CaptureWindow final : public HeadlessWindow {
public:
    bool pollEvent(WindowEvent& event) override
    {
        if (!isFinished || isCloseSent)
            return false;
        isCloseSent = true;
        event = {WindowEventType::CloseRequested, false};
        return true;
    }
    bool isFinished = false;

private:
    bool isCloseSent = false;
};

} // namespace

int play(const Options& options,
    const std::function<bool(IDirect3DDevice9&, SilentClock&)>& framePresented,
    bool& isStopped)
{
    bool isWanted = true;  // what framePresented said last
    float lastTime = 0.0f; // the demo time of the last frame

    std::shared_ptr<CaptureWindow> window;
    SilentClock clock;
    DemoServices services;
    services.display.createWindow = [&window](const std::string&, int, int, bool) {
        window = std::make_shared<CaptureWindow>();
        return window;
    };
    services.display.showMessage = [](const std::string& text, const std::string& caption) {
        if (caption.empty())
            std::fprintf(stderr, "capture: %s\n", text.c_str());
        else
            std::fprintf(stderr, "capture: %s: %s\n", caption.c_str(), text.c_str());
    };
    services.audioOutput = clock.factory();
    services.framePresented = [&](IDirect3DDevice9& device, float t) {
        lastTime = t;
        isWanted = framePresented(device, clock);
        if (!isWanted)
            window->isFinished = true;
    };
    // The picture is drawn at the largest 4:3 size that fits the frame, never scaled.
    if (options.frameSize)
        services.pictureSize = largestPictureIn(options.frameSize->width, options.frameSize->height);
    int result = runDemo(services);
    // Headless, nothing but a stop signal, the production's end and this capture end a run.
    isStopped = result == 0 && isWanted && !(lastTime > endTime);
    return result;
}

} // namespace tincrates

// The page's canvas as a Window: a WebGL 2 context, which speaks OpenGL ES 3.0, in a browser.
// Built only for WebAssembly (emscripten).
#pragma once

#include "platform/window/window.h"

#include <deque>
#include <string>

namespace tincrates {

// Draws into the canvas element `#canvas`. Its drawing buffer keeps the canvas's own size in
// pixels, which the page sets to the size it is shown at in the screen's pixels (or to a fixed
// picture size); the display draws the picture at that size and follows it when the page
// changes it. Main thread only.
//
// swapBuffers hands control back to the browser, which shows the frame, and returns when the
// next frame may be drawn: at the display's next refresh, or at once with a swap interval of
// 0. The program must be built with emscripten's ASYNCIFY for that, since the frame loop
// does not return between frames.
class WebWindow final : public Window {
public:
    // Throws "WebGL: " + what failed when the canvas is missing or gives no WebGL 2 context.
    WebWindow();
    ~WebWindow() override;

    void makeCurrent() override;
    void swapBuffers() override;
    bool isOnScreen() const override { return true; }
    int drawableWidth() const override;
    int drawableHeight() const override;
    void setSwapInterval(int interval) override { swapInterval = interval; }
    void setCursorVisible(bool visible) override;
    bool pollEvent(WindowEvent& event) override;
    bool isEscapeDown() const override { return escapeIsDown; }

    // Called by the browser's event handlers (through emscripten's html5 callbacks).
    void keyChanged(bool isDown, bool isEscape, bool isRepeat);
    void closeRequested();

private:
    int context = 0; // EMSCRIPTEN_WEBGL_CONTEXT_HANDLE
    int swapInterval = 1;
    bool escapeIsDown = false;
    std::deque<WindowEvent> events;
};

} // namespace tincrates

// A GL context without a screen: EGL on Mesa's surfaceless platform. The device draws into an
// offscreen back buffer that is read back as pixels.
#pragma once

#include "platform/window/window.h"

#include <memory>

namespace tincrates {

// Which GL the context speaks; the device works with either.
enum class GlApi { OpenGlEs3, OpenGl33Core };

class HeadlessWindow : public Window {
public:
    // Throws "EGL: " + what failed when no surfaceless context of that API can be made.
    explicit HeadlessWindow(GlApi api = GlApi::OpenGlEs3);
    ~HeadlessWindow() override;

    void makeCurrent() override;
    void swapBuffers() override {}
    bool isOnScreen() const override { return false; }
    int drawableWidth() const override { return 0; }
    int drawableHeight() const override { return 0; }
    void setSwapInterval(int) override {}
    void setCursorVisible(bool) override {}
    bool pollEvent(WindowEvent&) override { return false; }
    bool isEscapeDown() const override { return false; }

private:
    void* display = nullptr; // EGLDisplay
    void* context = nullptr; // EGLContext
};

} // namespace tincrates

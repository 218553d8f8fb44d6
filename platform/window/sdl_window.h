// An on-screen window through SDL2, with an OpenGL ES 3.0 context for the graphics device.
#pragma once

#include "platform/window/window.h"

#include <string>

struct SDL_Window;

namespace tincrates {

class SdlWindow : public Window {
public:
    // A borderless window of width × height pixels at (0, 0), or a full-screen one. Throws
    // "SDL: " + SDL's own text when the video system, window or context cannot be made.
    SdlWindow(const std::string& title, int width, int height, bool fullScreen);
    ~SdlWindow() override;

    void makeCurrent() override;
    void swapBuffers() override;
    bool isOnScreen() const override { return true; }
    int drawableWidth() const override;
    int drawableHeight() const override;
    void setSwapInterval(int interval) override;
    void setCursorVisible(bool visible) override;
    bool pollEvent(WindowEvent& event) override;
    bool isEscapeDown() const override;

private:
    // Declared in construction order: the video subsystem outlives the window and context.
    struct VideoSubsystem {
        VideoSubsystem();
        ~VideoSubsystem();
        VideoSubsystem(const VideoSubsystem&) = delete;
        VideoSubsystem& operator=(const VideoSubsystem&) = delete;
    };
    VideoSubsystem video;
    SDL_Window* window = nullptr;
    void* context = nullptr; // SDL_GLContext
};

} // namespace tincrates

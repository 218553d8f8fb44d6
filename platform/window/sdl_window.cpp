// SDL2 window and GL ES 3.0 context; SDL's events become WindowEvents.
#include "platform/window/sdl_window.h"

#include <SDL.h>

namespace tincrates {

namespace {

// The window whose context is current on this thread.
thread_local SdlWindow* currentWindow = nullptr;

std::string sdlError(const char* what)
{
    return std::string("SDL: ") + what + ": " + SDL_GetError();
}

Key keyOf(SDL_Keycode code)
{
    switch (code) {
    case SDLK_ESCAPE: return Key::Escape;
    case SDLK_SPACE: return Key::Space;
    case SDLK_LEFT: return Key::Left;
    case SDLK_RIGHT: return Key::Right;
    case SDLK_PAGEUP: return Key::PageUp;
    case SDLK_PAGEDOWN: return Key::PageDown;
    case SDLK_HOME: return Key::Home;
    case SDLK_LEFTBRACKET: return Key::BracketLeft;
    case SDLK_RIGHTBRACKET: return Key::BracketRight;
    case SDLK_l: return Key::L;
    case SDLK_F1: return Key::F1;
    default: return Key::Other;
    }
}

} // namespace

SdlWindow::VideoSubsystem::VideoSubsystem()
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw sdlError("cannot start video");
}

SdlWindow::VideoSubsystem::~VideoSubsystem() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

SdlWindow::SdlWindow(const std::string& title, int width, int height, bool fullScreen)
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The device draws into a back buffer of its own; the window needs colour only.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    // Full screen covers the desktop at its own resolution rather than asking the display for
    // a mode of the picture's size, which today's flat panels show badly or refuse; the
    // picture is drawn at the size it is shown at, or scaled by Present when its size is
    // fixed. A window can be resized. On screens of high density the drawable size counts
    // the screen's own pixels, not the desktop's scaled units.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI;
    int windowWidth = width;
    int windowHeight = height;
    if (fullScreen) {
        // Made at the desktop's size too, borderless at its corner: without a window manager
        // to carry out the full-screen request, the window still covers the screen.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            windowWidth = desktop.w;
            windowHeight = desktop.h;
        }
    } else {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    window = SDL_CreateWindow(title.c_str(), 0, 0, windowWidth, windowHeight, flags);
    if (!window)
        throw sdlError("cannot create the window");
    context = SDL_GL_CreateContext(window);
    if (!context) {
        std::string message = sdlError("cannot create an OpenGL ES 3.0 context");
        SDL_DestroyWindow(window);
        throw message;
    }
    currentWindow = this;
    // The screen saver and monitor power-saving stay off while the production runs.
    SDL_DisableScreenSaver();
}

SdlWindow::~SdlWindow()
{
    if (currentWindow == this) {
        SDL_GL_MakeCurrent(window, nullptr);
        currentWindow = nullptr;
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
}

void SdlWindow::makeCurrent()
{
    if (currentWindow == this)
        return;
    SDL_GL_MakeCurrent(window, context);
    currentWindow = this;
}

void SdlWindow::swapBuffers() { SDL_GL_SwapWindow(window); }

int SdlWindow::drawableWidth() const
{
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    return width;
}

int SdlWindow::drawableHeight() const
{
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    return height;
}

void SdlWindow::setSwapInterval(int interval) { SDL_GL_SetSwapInterval(interval); }

void SdlWindow::setCursorVisible(bool visible)
{
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

bool SdlWindow::pollEvent(WindowEvent& event)
{
    SDL_Event sdlEvent;
    while (SDL_PollEvent(&sdlEvent)) {
        if (sdlEvent.type == SDL_QUIT
            || (sdlEvent.type == SDL_WINDOWEVENT
                && sdlEvent.window.event == SDL_WINDOWEVENT_CLOSE)) {
            event = {WindowEventType::CloseRequested, false};
            return true;
        }
        if (sdlEvent.type == SDL_KEYDOWN) {
            event = {WindowEventType::KeyDown, sdlEvent.key.keysym.sym == SDLK_ESCAPE,
                keyOf(sdlEvent.key.keysym.sym), sdlEvent.key.repeat != 0};
            return true;
        }
    }
    return false;
}

bool SdlWindow::isEscapeDown() const
{
    SDL_PumpEvents();
    return SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE] != 0;
}

} // namespace tincrates

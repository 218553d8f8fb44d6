// Maps a window kind to its back-end.
#include "platform/window/window_factory.h"

#ifdef __EMSCRIPTEN__
#include "platform/window/web_window.h"
#else
#include "platform/window/headless_window.h"
#include "platform/window/sdl_window.h"

#include <SDL.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tincrates {

bool hasScreen()
{
#ifdef __EMSCRIPTEN__
    // In a browser the page's canvas is the screen.
    return true;
#else
    // Without a display server or a DRM device there is nothing SDL could show on; asking it
    // anyway only prints the complaints of each video driver it tries.
    std::error_code ignored;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")
        && !std::filesystem::exists("/dev/dri/card0", ignored))
        return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // SDL's stand-ins for a missing display do not show anything.
    const char* driver = SDL_GetCurrentVideoDriver();
    bool isReal = driver && std::strcmp(driver, "dummy") != 0
        && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "evdev") != 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return isReal;
#endif
}

std::shared_ptr<Window> createWindow(
    WindowKind kind, const std::string& title, int width, int height, bool fullScreen)
{
#ifdef __EMSCRIPTEN__
    // The canvas has the size the page gives it; the picture is scaled to it.
    (void)title, (void)width, (void)height, (void)fullScreen;
    if (kind == WindowKind::Headless)
        throw std::string("a page has no headless window");
    return std::make_shared<WebWindow>();
#else
    if (kind == WindowKind::Headless)
        return std::make_shared<HeadlessWindow>();
    return std::make_shared<SdlWindow>(title, width, height, fullScreen);
#endif
}

} // namespace tincrates

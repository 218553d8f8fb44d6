// Maps a window kind to its back-end.
#include "platform/window_factory.h"

#include "platform/headless_window.h"
#include "platform/sdl_window.h"

namespace tincrates {

std::shared_ptr<Window> createWindow(
    WindowKind kind, const std::string& title, int width, int height, bool fullScreen)
{
    if (kind == WindowKind::Headless)
        return std::make_shared<HeadlessWindow>();
    return std::make_shared<SdlWindow>(title, width, height, fullScreen);
}

} // namespace tincrates

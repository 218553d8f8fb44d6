// The one way to a Window: the caller says which kind, this names the class that makes it.
#pragma once

#include "platform/window/window.h"

#include <memory>
#include <string>

namespace tincrates {

enum class WindowKind {
    OnScreen, // an SDL2 window on the display
    Headless, // no screen: EGL on Mesa's surfaceless platform; pixels are read back
};

// Whether an on-screen window can be opened here (a display server that SDL2 can use).
// Cheap to call more than once.
bool hasScreen();

// Throws the text of the back-end that failed ("SDL: ...", "EGL: ...").
std::shared_ptr<Window> createWindow(
    WindowKind kind, const std::string& title, int width, int height, bool fullScreen);

} // namespace tincrates

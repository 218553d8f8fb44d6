// The message box over SDL2's simple message box.
#include "platform/window/message_box.h"

#include "platform/window/window_factory.h"

#include <SDL.h>

#include <cstdio>

namespace tincrates {

void showMessageBox(const std::string& text, const std::string& caption)
{
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    if (!hasScreen())
        return;
    // A box without a caption is an error report; one with a caption is a warning.
    Uint32 kind = caption.empty() ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
    const char* title = caption.empty() ? "Error" : caption.c_str();
    // When the box cannot be shown the text has already reached standard error.
    SDL_ShowSimpleMessageBox(kind, title, text.c_str(), nullptr);
}

} // namespace tincrates

// A place that holds an OpenGL ES 3.0 context for the graphics device: an on-screen window or
// a headless context without any screen. Windows are shared (std::shared_ptr): the device and
// its resources keep the context alive until the last of them is gone.
#pragma once

#include <memory>

namespace tincrates {

enum class WindowEventType { CloseRequested, KeyDown };

// The keys a maker steers the production with; every other key is Other.
enum class Key { Other, Escape, Space, Left, Right, PageUp, PageDown, Home, BracketLeft,
    BracketRight, L, F1 };

struct WindowEvent {
    WindowEventType type;
    bool isEscape;         // for KeyDown
    Key key = Key::Other;  // for KeyDown
    bool isRepeat = false; // for KeyDown: the key held down, repeating
};

class Window : public std::enable_shared_from_this<Window> {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    // Makes this window's GL context current on the calling thread; cheap when it already is.
    // A new window's context is current on the thread that made it.
    virtual void makeCurrent() = 0;
    // Shows the default framebuffer's content. Does nothing without a screen.
    virtual void swapBuffers() = 0;
    // Whether the context has a default framebuffer that reaches a screen.
    virtual bool isOnScreen() const = 0;
    // Size in pixels of the default framebuffer (0 × 0 without a screen).
    virtual int drawableWidth() const = 0;
    virtual int drawableHeight() const = 0;
    // 1 to wait for the display's refresh at each swap, 0 not to.
    virtual void setSwapInterval(int interval) = 0;
    virtual void setCursorVisible(bool visible) = 0;
    // Takes the next pending event; false when none is left.
    virtual bool pollEvent(WindowEvent& event) = 0;
    virtual bool isEscapeDown() const = 0;
};

} // namespace tincrates

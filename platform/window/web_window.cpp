// The canvas's WebGL 2 context through emscripten's html5 interface; keys from the document.
#include "platform/window/web_window.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <string>

namespace tincrates {

namespace {

constexpr const char* canvasSelector = "#canvas";

// The window that receives the page's close request; one canvas, so one window at a time.
WebWindow* openWindow = nullptr;

// Returns to the browser until it has shown what was drawn and the next frame may start.
// requestAnimationFrame runs at the display's refresh and pauses in a hidden tab, as a
// swap interval of 1 waits for the refresh; a message to this page comes back at once. A
// page that measures speed sets Module.unpaced to draw frames as fast as they render.
EM_ASYNC_JS(void, waitForNextFrame, (int swapInterval), {
    await new Promise(resolve => {
        if (swapInterval > 0 && !Module['unpaced']) {
            requestAnimationFrame(() => resolve());
        } else {
            const channel = new MessageChannel();
            channel.port1.onmessage = () => resolve();
            channel.port2.postMessage(0);
        }
    });
});

EM_JS(void, setCanvasCursor, (const char* cursor), {
    const canvas = document.querySelector('#canvas');
    if (canvas)
        canvas.style.cursor = UTF8ToString(cursor);
});

EM_BOOL handleKey(int eventType, const EmscriptenKeyboardEvent* key, void* userData)
{
    auto* window = static_cast<WebWindow*>(userData);
    bool isEscape = std::strcmp(key->key, "Escape") == 0;
    window->keyChanged(eventType == EMSCRIPTEN_EVENT_KEYDOWN, isEscape, key->repeat != 0);
    // Keys stay the browser's too (reloading, leaving full screen), except Escape, which ends
    // the production as it does on a desktop.
    return isEscape;
}

} // namespace

WebWindow::WebWindow()
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The device draws into a back buffer of its own and copies it to the canvas with a
    // framebuffer blit, which needs a drawing buffer without samples; colour alone, opaque,
    // as an X8R8G8B8 back buffer is.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.failIfMajorPerformanceCaveat = EM_FALSE;
    attributes.enableExtensionsByDefault = EM_TRUE;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle
        = emscripten_webgl_create_context(canvasSelector, &attributes);
    if (handle <= 0)
        throw std::string("WebGL: this browser gives no WebGL 2 context");
    context = int(handle);
    if (emscripten_webgl_make_context_current(handle) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(handle);
        throw std::string("WebGL: cannot make the context current");
    }
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, this, EM_FALSE, handleKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, this, EM_FALSE, handleKey);
    openWindow = this;
}

WebWindow::~WebWindow()
{
    if (openWindow == this)
        openWindow = nullptr;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, nullptr);
    // The canvas keeps showing the last frame: destroying the context does not clear it.
    if (emscripten_webgl_get_current_context() == context)
        emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(context);
}

void WebWindow::makeCurrent()
{
    if (emscripten_webgl_get_current_context() != context)
        emscripten_webgl_make_context_current(context);
}

void WebWindow::swapBuffers() { waitForNextFrame(swapInterval); }

// The drawing buffer's size rather than the canvas element's: a browser makes the buffer
// smaller than the canvas when the canvas is larger than it can draw, and what is presented
// must fit the buffer.
int WebWindow::drawableWidth() const
{
    int width = 0;
    int height = 0;
    emscripten_webgl_get_drawing_buffer_size(context, &width, &height);
    return width;
}

int WebWindow::drawableHeight() const
{
    int width = 0;
    int height = 0;
    emscripten_webgl_get_drawing_buffer_size(context, &width, &height);
    return height;
}

void WebWindow::setCursorVisible(bool visible) { setCanvasCursor(visible ? "" : "none"); }

bool WebWindow::pollEvent(WindowEvent& event)
{
    if (events.empty())
        return false;
    event = events.front();
    events.pop_front();
    return true;
}

void WebWindow::keyChanged(bool isDown, bool isEscape, bool isRepeat)
{
    if (isEscape)
        escapeIsDown = isDown;
    if (isDown && !isRepeat)
        events.push_back({WindowEventType::KeyDown, isEscape});
}

void WebWindow::closeRequested() { events.push_back({WindowEventType::CloseRequested, false}); }

} // namespace tincrates

// The page asks the production to end, as closing its window would (a "stop" button, or a
// test that ends the run and checks it ends cleanly).
extern "C" EMSCRIPTEN_KEEPALIVE void tincrates_request_close()
{
    if (tincrates::openWindow)
        tincrates::openWindow->closeRequested();
}

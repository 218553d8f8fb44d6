// EGL surfaceless context on Mesa: works without X, Wayland or a GPU (llvmpipe).
#include "platform/window/headless_window.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <string>

namespace tincrates {

namespace {

// The context current on this thread, so that repeated makeCurrent calls cost nothing.
thread_local void* currentContext = nullptr;

EGLDisplay openSurfacelessDisplay()
{
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay)
        throw std::string("EGL: no eglGetPlatformDisplayEXT");
    EGLDisplay display
        = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        throw std::string("EGL: no surfaceless display");
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor))
        throw std::string("EGL: eglInitialize failed");
    return display;
}

} // namespace

HeadlessWindow::HeadlessWindow(GlApi api)
{
    EGLDisplay eglDisplay = openSurfacelessDisplay();
    display = eglDisplay;
    try {
        bool isEs = api == GlApi::OpenGlEs3;
        if (!eglBindAPI(isEs ? EGL_OPENGL_ES_API : EGL_OPENGL_API))
            throw std::string(isEs ? "EGL: no OpenGL ES" : "EGL: no OpenGL");
        const EGLint esAttributes[] = {
            EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
        const EGLint coreAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3,
            EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
            EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
        const EGLint* attributes = isEs ? esAttributes : coreAttributes;
        // A context without a config: nothing is ever drawn to an EGL surface.
        EGLContext eglContext
            = eglCreateContext(eglDisplay, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (eglContext == EGL_NO_CONTEXT)
            throw std::string("EGL: cannot create the GL context");
        context = eglContext;
        if (!eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, eglContext))
            throw std::string("EGL: cannot make the context current");
        currentContext = eglContext;
    } catch (...) {
        if (context)
            eglDestroyContext(eglDisplay, context);
        throw;
    }
}

HeadlessWindow::~HeadlessWindow()
{
    if (currentContext == context) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        currentContext = nullptr;
    }
    eglDestroyContext(display, context);
    // Not eglTerminate: the surfaceless display is shared by every HeadlessWindow of the
    // process, and terminating it would pull the context from under another one.
}

void HeadlessWindow::makeCurrent()
{
    if (currentContext == context)
        return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
    currentContext = context;
}

} // namespace tincrates

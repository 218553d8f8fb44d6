// Chooses the window and sound back-ends for the machine the production runs on.
#include "host/back_ends.h"

#include "platform/sound/real_time_audio_output.h"
#include "platform/window/message_box.h"
#ifdef __EMSCRIPTEN__
#include "platform/sound/web_audio_output.h"
#else
#include "platform/sound/sdl_audio_output.h"
#endif
#include "platform/window/window.h"
#include "platform/window/window_factory.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tincrates {

namespace {

// Whether a sound server or a playback device could be there at all. Asking SDL on a machine
// with neither only fills standard error with the complaints of each audio library it tries.
bool mayHaveSound()
{
#ifdef __EMSCRIPTEN__
    // A page always has Web Audio; whether the page made its context is the output's to say.
    return true;
#endif
    namespace fs = std::filesystem;
    std::error_code ignored;
    // A driver named by the user (SDL's dummy or disk writer too) is always tried.
    if (std::getenv("SDL_AUDIODRIVER") || std::getenv("PULSE_SERVER"))
        return true;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        fs::path folder(runtime);
        if (fs::exists(folder / "pulse" / "native", ignored)
            || fs::exists(folder / "pipewire-0", ignored))
            return true;
    }
    // ALSA playback devices are named pcmC<card>D<device>p.
    for (const auto& entry : fs::directory_iterator("/dev/snd", ignored)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("pcmC", 0) == 0 && name.back() == 'p')
            return true;
    }
    return false;
}

DisplayServices displayServicesFor(WindowKind kind)
{
    DisplayServices services;
    services.createWindow = [kind](const std::string& title, int width, int height,
                                bool fullScreen) {
        return createWindow(kind, title, width, height, fullScreen);
    };
    services.createDirect3D = Direct3DCreate9;
    services.showMessage = showMessageBox;
    return services;
}

} // namespace

DemoServices machineDemoServices()
{
    bool isOnScreen = hasScreen();
    DemoServices services;
    services.display = displayServicesFor(isOnScreen ? WindowKind::OnScreen : WindowKind::Headless);
    services.audioOutput = machineAudioOutput();
    services.endsWithTheMusic = !isOnScreen;
    return services;
}

DisplayServices machineDisplayServices()
{
    return displayServicesFor(hasScreen() ? WindowKind::OnScreen : WindowKind::Headless);
}

AudioOutputFactory machineAudioOutput()
{
    return []() -> std::unique_ptr<AudioOutput> {
        std::string reason = "no sound device";
        if (mayHaveSound()) {
            try {
#ifdef __EMSCRIPTEN__
                return std::make_unique<WebAudioOutput>();
#else
                return std::make_unique<SdlAudioOutput>();
#endif
            } catch (const std::string& text) {
                reason = text;
            } catch (const std::exception& error) {
                reason = error.what();
            }
        }
        std::fprintf(stderr, "tincrates: %s; the production plays silently\n", reason.c_str());
        return std::make_unique<RealTimeAudioOutput>();
    };
}

} // namespace tincrates

// Chooses the window and sound back-ends for the machine the production runs on.
#include "host/back_ends.h"

#include "host/real_time_audio_output.h"
#include "platform/message_box.h"
#include "platform/sdl_audio_output.h"
#include "platform/window.h"
#include "platform/window_factory.h"

#include <cstdio>
#include <exception>
#include <memory>

namespace tincrates {

DisplayServices machineDisplayServices()
{
    DisplayServices services;
    services.createWindow = [](const std::string& title, int width, int height,
                                bool fullScreen) {
        WindowKind kind = hasScreen() ? WindowKind::OnScreen : WindowKind::Headless;
        return createWindow(kind, title, width, height, fullScreen);
    };
    services.createDirect3D = Direct3DCreate9;
    services.showMessage = showMessageBox;
    return services;
}

AudioOutputFactory machineAudioOutput()
{
    return []() -> std::unique_ptr<AudioOutput> {
        std::string reason;
        try {
            return std::make_unique<SdlAudioOutput>();
        } catch (const std::string& text) {
            reason = text;
        } catch (const std::exception& error) {
            reason = error.what();
        }
        std::fprintf(stderr, "tincrates: no sound (%s); playing silently\n", reason.c_str());
        return std::make_unique<RealTimeAudioOutput>();
    };
}

} // namespace tincrates

// The machine's own back-ends: a headless window without a display server, and a clock that
// keeps real time without a sound device.
#include "host/back_ends.h"

#include "platform/sound/audio_output.h"
#include "platform/sound/real_time_audio_output.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace tincrates {
namespace {

// Sets or clears environment variables for the life of the object, then puts them back.
class Environment {
public:
    void set(const char* name, const char* value)
    {
        if (!saved.count(name)) {
            const char* old = std::getenv(name);
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Environment()
    {
        for (auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved;
};

void clearSoundAndScreen(Environment& environment)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER", "PULSE_SERVER",
             "XDG_RUNTIME_DIR"})
        environment.set(name, nullptr);
}

TEST(BackEnds, WithoutADisplayServerTheWindowIsHeadless)
{
    if (std::filesystem::exists("/dev/dri/card0"))
        GTEST_SKIP() << "this machine has a display device";
    Environment environment;
    clearSoundAndScreen(environment);
    DisplayServices services = machineDisplayServices();
    std::shared_ptr<Window> window = services.createWindow("t", 64, 32, true);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isOnScreen());
    // Nobody could press Escape: the run ends with the music.
    EXPECT_TRUE(machineDemoServices().endsWithTheMusic);
}

TEST(BackEnds, WithoutASoundDeviceTheMusicKeepsRealTimeSilently)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound devices";
    Environment environment;
    clearSoundAndScreen(environment);
    ::testing::internal::CaptureStderr();
    std::unique_ptr<AudioOutput> output = machineAudioOutput()();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
        "tincrates: no sound device; the production plays silently\n");
    EXPECT_NE(dynamic_cast<RealTimeAudioOutput*>(output.get()), nullptr);
}

TEST(BackEnds, ASoundDriverNamedByTheUserIsUsed)
{
    Environment environment;
    clearSoundAndScreen(environment);
    environment.set("SDL_AUDIODRIVER", "dummy");
    ::testing::internal::CaptureStderr();
    std::unique_ptr<AudioOutput> output = machineAudioOutput()();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(dynamic_cast<RealTimeAudioOutput*>(output.get()), nullptr);
}

TEST(BackEnds, ASoundDriverThatCannotOpenFallsBackWithItsReason)
{
    Environment environment;
    clearSoundAndScreen(environment);
    environment.set("SDL_AUDIODRIVER", "no-such-driver");
    ::testing::internal::CaptureStderr();
    std::unique_ptr<AudioOutput> output = machineAudioOutput()();
    std::string note = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(note.rfind("tincrates: ", 0), 0u) << note;
    EXPECT_NE(note.find("; the production plays silently\n"), std::string::npos) << note;
    EXPECT_NE(dynamic_cast<RealTimeAudioOutput*>(output.get()), nullptr);
}

} // namespace
} // namespace tincrates

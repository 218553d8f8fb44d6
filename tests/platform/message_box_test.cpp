// Messages reach standard error, and only wait for the user where a screen can show them.
#include "platform/window/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace tincrates {
namespace {

// Runs `body` with no display server in the environment, so no box is shown.
template <class Body>
void withoutScreen(Body body)
{
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::optional<std::string> savedDisplay = display ? std::optional<std::string>(display)
                                                      : std::nullopt;
    std::optional<std::string> savedWayland = wayland ? std::optional<std::string>(wayland)
                                                      : std::nullopt;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    body();
    if (savedDisplay)
        setenv("DISPLAY", savedDisplay->c_str(), 1);
    if (savedWayland)
        setenv("WAYLAND_DISPLAY", savedWayland->c_str(), 1);
}

TEST(MessageBox, WritesTheCaptionAndTextToStandardError)
{
    if (std::filesystem::exists("/dev/dri/card0"))
        GTEST_SKIP() << "a box could come up on this machine's display device and wait";
    withoutScreen([] {
        ::testing::internal::CaptureStderr();
        showMessageBox("Your GPU is from Poland!", "Warning");
        showMessageBox("Failed to load soundtrk.mp3\nfile not found", "");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Warning: Your GPU is from Poland!\n"
            "Failed to load soundtrk.mp3\nfile not found\n");
    });
}

} // namespace
} // namespace tincrates

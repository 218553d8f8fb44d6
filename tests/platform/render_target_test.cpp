// Render targets: drawing into textures, reading them back, the viewport that follows them.
#include "platform/d3d9.h"

#include "support/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::HeadlessDevice;

TEST(RenderTarget, ClearFillsTheBackBufferWithTheColour)
{
    HeadlessDevice device(8, 4);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x80FF4020, 1.0f, 0);
    auto pixels = device.readBack();
    ASSERT_EQ(pixels.size(), 32u);
    for (uint32_t p : pixels)
        EXPECT_EQ(p, 0x80FF4020u);
}

} // namespace
} // namespace tincrates

// The recording device of the tests writes each call down and still reaches the real device.
#include "support/recording_device.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

TEST(RecordingDevice, WritesCallsInOrderAndPassesThemOn)
{
    HeadlessDevice device(4, 4);
    RecordingDevice recorder(*device.get());
    IDirect3DDevice9& calls = recorder;
    calls.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    calls.SetTexture(1, nullptr);
    calls.Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"SetRenderState 22 1",
                                  "SetTexture 1 null", "Clear 0 null 1 4278255360 1 0"}));
    EXPECT_EQ(recorder.callsNamed("SetTexture"), (std::vector<std::string>{"SetTexture 1 null"}));
    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, DWORD(D3DCULL_NONE));
    EXPECT_EQ(device.readBack()[0], 0xFF00FF00u);
}

} // namespace
} // namespace tincrates

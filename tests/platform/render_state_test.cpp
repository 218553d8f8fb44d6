// Render states of the output stage: colour write mask and alpha test.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class OutputStates : public ::testing::Test {
protected:
    OutputStates()
        : device(4, 4)
    {
        device.setPlainStates();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x10203040, 1, 0);
    }

    HeadlessDevice device;
};

TEST_F(OutputStates, ColourWriteMaskKeepsTheMaskedChannels)
{
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1 | 0x8); // red and alpha
    device.drawFan(device.fullScreenQuad(0xFFFFFFFF));
    EXPECT_EQ(device.readBack()[0], 0xFFFF3040u);
}

TEST_F(OutputStates, AlphaTestDiscardsPixelsThatFailTheReference)
{
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device.drawFan(device.fullScreenQuad(0x7FFFFFFF));
    EXPECT_EQ(device.readBack()[0], 0x10203040u);
    device.drawFan(device.fullScreenQuad(0x80FFFFFF));
    EXPECT_EQ(device.readBack()[0], 0x80FFFFFFu);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device.drawFan(device.fullScreenQuad(0x01000000));
    EXPECT_EQ(device.readBack()[0], 0x01000000u);
}

} // namespace
} // namespace tincrates

// Linear table fog by eye depth under a perspective projection.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace tincrates {
namespace {

using namespace testing;

// Left-handed perspective projection: 90 degrees vertical field of view, square aspect.
D3DMATRIX perspective(float nearPlane, float farPlane)
{
    D3DMATRIX m{};
    m.m[0][0] = 1;
    m.m[1][1] = 1;
    m.m[2][2] = farPlane / (farPlane - nearPlane);
    m.m[2][3] = 1;
    m.m[3][2] = -nearPlane * farPlane / (farPlane - nearPlane);
    return m;
}

class Fog : public ::testing::Test {
protected:
    Fog()
        : device(8, 8)
    {
        device.setPlainStates();
        D3DMATRIX projection = perspective(1, 100);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_FOGENABLE, TRUE);
        device->SetRenderState(D3DRS_FOGCOLOR, 0xFFFF0000);
        device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
        device->SetRenderState(D3DRS_FOGSTART, std::bit_cast<DWORD>(10.0f));
        device->SetRenderState(D3DRS_FOGEND, std::bit_cast<DWORD>(20.0f));
    }

    // A blue square filling the view at eye depth `depth`.
    uint32_t drawAtDepth(float depth)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1, 0);
        float s = depth;
        std::vector<QuadVertex> quad{{-s, -s, depth, 0xFF0000FF, 0, 0},
            {-s, s, depth, 0xFF0000FF, 0, 0}, {s, s, depth, 0xFF0000FF, 0, 0},
            {s, -s, depth, 0xFF0000FF, 0, 0}};
        device.drawFan(quad);
        return device.readBack()[4 * 8 + 4];
    }

    HeadlessDevice device;
};

TEST_F(Fog, BeforeFogStartNothingIsFogged)
{
    EXPECT_EQ(drawAtDepth(5) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(drawAtDepth(10) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(Fog, BetweenStartAndEndTheFogGrowsLinearly)
{
    uint32_t halfway = drawAtDepth(15);
    EXPECT_NEAR(redOf(halfway), 127.5, 1.0);
    EXPECT_NEAR(blueOf(halfway), 127.5, 1.0);
    uint32_t quarter = drawAtDepth(12.5f);
    EXPECT_NEAR(redOf(quarter), 0.25 * 255, 1.0);
    EXPECT_NEAR(blueOf(quarter), 0.75 * 255, 1.0);
}

TEST_F(Fog, AtAndBeyondFogEndOnlyTheFogColourRemains)
{
    EXPECT_EQ(drawAtDepth(20) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(drawAtDepth(40) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(Fog, FogKeepsAlphaAndStopsWhenDisabled)
{
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40FFFFFF);
    EXPECT_EQ(drawAtDepth(40), 0x40FF0000u);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    EXPECT_EQ(drawAtDepth(40), 0x400000FFu);
}

} // namespace
} // namespace tincrates

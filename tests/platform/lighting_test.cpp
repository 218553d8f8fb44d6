// Fixed-function lighting: point lights by N·L, ambient terms, material and vertex colour
// sources, range and the eight-light limit.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

using namespace testing;

struct LitVertex {
    float x, y, z, nx, ny, nz;
    uint32_t colour;
    float u, v;
};
constexpr DWORD litFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// A square of side 0.002 at the origin facing the camera (normal -z), blown up by the
// projection to cover the target, so every vertex sees the light from the same direction.
void drawFacingSquare(HeadlessDevice& device, uint32_t colour = 0xFFFFFFFF)
{
    const float s = 0.001f;
    std::vector<LitVertex> quad{{-s, -s, 0, 0, 0, -1, colour, 0, 0},
        {-s, s, 0, 0, 0, -1, colour, 0, 0}, {s, s, 0, 0, 0, -1, colour, 0, 0},
        {s, -s, 0, 0, 0, -1, colour, 0, 0}};
    D3DMATRIX projection{};
    projection.m[0][0] = projection.m[1][1] = 1000;
    projection.m[3][2] = 0.5f;
    projection.m[3][3] = 1;
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetFVF(litFvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, litFvf), 0, sizeof(LitVertex));
    device->BeginScene();
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    device->EndScene();
}

D3DLIGHT9 pointLight(float x, float y, float z, D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient)
{
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = diffuse;
    light.Ambient = ambient;
    light.Position = {x, y, z};
    light.Range = std::sqrt(3.4028235e38f);
    light.Attenuation0 = 1;
    return light;
}

class Lighting : public ::testing::Test {
protected:
    Lighting()
        : device(8, 8)
    {
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        material.Diffuse = {1.0f, 0.5f, 0.25f, 0.75f};
        material.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
        device->SetMaterial(&material);
    }

    uint32_t centre() { return device.readBack()[4 * 8 + 4]; }

    HeadlessDevice device;
    D3DMATERIAL9 material{};
};

TEST_F(Lighting, PointLightLightsByNDotLAndAmbientAdds)
{
    device->SetRenderState(D3DRS_AMBIENT, 0x00404040);
    // 60 degrees off the normal: N·L = 0.5.
    float angle = 3.14159265f / 3;
    D3DLIGHT9 light = pointLight(
        10 * std::sin(angle), 0, -10 * std::cos(angle), {1, 1, 1, 0}, {0.1f, 0.2f, 0.3f, 0});
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    uint32_t pixel = centre();
    // Ambient × (global ambient + light ambient) + diffuse × light diffuse × N·L.
    double globalAmbient = 0x40 / 255.0;
    EXPECT_NEAR(redOf(pixel), 255 * (0.2 * (globalAmbient + 0.1) + 1.0 * 0.5), 1.0);
    EXPECT_NEAR(greenOf(pixel), 255 * (0.2 * (globalAmbient + 0.2) + 0.5 * 0.5), 1.0);
    EXPECT_NEAR(blueOf(pixel), 255 * (0.2 * (globalAmbient + 0.3) + 0.25 * 0.5), 1.0);
    EXPECT_NEAR(alphaOf(pixel), 0.75 * 255, 1.0); // the diffuse material's alpha
}

TEST_F(Lighting, LightBehindTheFaceLeavesOnlyAmbientAndEmissive)
{
    material.Emissive = {0.0f, 0.0f, 0.5f, 0.0f};
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_AMBIENT, 0x00FFFFFF);
    D3DLIGHT9 light = pointLight(0, 0, 10, {1, 1, 1, 0}, {0, 0, 0, 0});
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    uint32_t pixel = centre();
    EXPECT_NEAR(redOf(pixel), 0.2 * 255, 1.0);
    EXPECT_NEAR(greenOf(pixel), 0.2 * 255, 1.0);
    EXPECT_NEAR(blueOf(pixel), 0.7 * 255, 1.0);
}

TEST_F(Lighting, LightBeyondItsRangeGivesNothing)
{
    D3DLIGHT9 light = pointLight(0, 0, -10, {1, 1, 1, 0}, {1, 1, 1, 0});
    light.Range = 5;
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    EXPECT_EQ(centre() & 0x00FFFFFFu, 0u);
}

TEST_F(Lighting, VertexColourIsTheDiffuseSourceByDefault)
{
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    D3DLIGHT9 light = pointLight(0, 0, -10, {1, 1, 1, 0}, {0, 0, 0, 0});
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device, 0x8000FF00);
    uint32_t pixel = centre();
    EXPECT_EQ(redOf(pixel), 0);
    EXPECT_NEAR(greenOf(pixel), 255, 1);
    EXPECT_NEAR(alphaOf(pixel), 0x80, 1);

    device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    drawFacingSquare(device, 0x8000FF00);
    pixel = centre();
    EXPECT_NEAR(redOf(pixel), 255, 1); // the material's diffuse again
    EXPECT_NEAR(alphaOf(pixel), 0.75 * 255, 1);
}

TEST_F(Lighting, EightLightsAddUpAndLaterOnesAreDisabled)
{
    for (DWORD i = 0; i < 8; ++i) {
        D3DLIGHT9 light = pointLight(0, 0, -10, {0.1f, 0.1f, 0.1f, 0}, {0, 0, 0, 0});
        device->SetLight(i, &light);
        device->LightEnable(i, TRUE);
    }
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 0.8 * 255, 1.0);

    for (DWORD i = 3; i < 8; ++i)
        device->LightEnable(i, FALSE);
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 0.3 * 255, 1.0);
}

TEST_F(Lighting, SpotLightLightsInsideItsConesOnly)
{
    // A spot 10 units in front of the face, pointing at it: the face lies on the axis.
    D3DLIGHT9 light = pointLight(0, 0, -10, {1, 1, 1, 0}, {0, 0, 0, 0});
    light.Type = D3DLIGHT_SPOT;
    light.Direction = {0, 0, 1};
    light.Theta = 0.2f;
    light.Phi = 0.4f;
    light.Falloff = 1;
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 255, 1);

    // Turned 0.15 radians away: between the half angles 0.1 and 0.2, falloff 1 blends
    // linearly in the cosine; N·L stays 1.
    float turn = 0.15f;
    light.Direction = {std::sin(turn), 0, std::cos(turn)};
    device->SetLight(0, &light);
    drawFacingSquare(device);
    double expected = (std::cos(0.15) - std::cos(0.2)) / (std::cos(0.1) - std::cos(0.2));
    EXPECT_NEAR(redOf(centre()), 255 * expected, 1.5);

    light.Direction = {std::sin(0.5f), 0, std::cos(0.5f)};
    device->SetLight(0, &light);
    drawFacingSquare(device);
    EXPECT_EQ(redOf(centre()), 0);
}

TEST_F(Lighting, DirectionalLightShinesAlongItsDirection)
{
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    // 60 degrees off the face's normal: N·L = 0.5.
    light.Direction = {-std::sin(1.0471976f), 0, std::cos(1.0471976f)};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 127.5, 1);
}

TEST_F(Lighting, SpecularAddsOnlyWhenEnabled)
{
    // Light and viewer straight in front: N·H = 1, so the highlight is the full specular.
    material.Diffuse = {0, 0, 0, 1};
    material.Specular = {0.5f, 0.25f, 0, 0};
    material.Power = 8;
    device->SetMaterial(&material);
    D3DLIGHT9 light = pointLight(0, 0, -10, {0, 0, 0, 0}, {0, 0, 0, 0});
    light.Specular = {1, 1, 1, 0};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    D3DMATRIX view{};
    for (int i = 0; i < 4; ++i)
        view.m[i][i] = 1;
    view.m[3][2] = 10; // the eye 10 units in front of the face, where the light is
    device->SetTransform(D3DTS_VIEW, &view);
    drawFacingSquare(device);
    EXPECT_EQ(redOf(centre()), 0);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 0.5 * 255, 1.5);
    EXPECT_NEAR(greenOf(centre()), 0.25 * 255, 1.5);
}

TEST_F(Lighting, LightingOffDrawsTheVertexColour)
{
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    drawFacingSquare(device, 0x40123456);
    EXPECT_EQ(centre(), 0x40123456u);
}

TEST_F(Lighting, LightPositionIsTransformedByTheView)
{
    // The view moves the world 10 units along +x; a light at x = -10 in the world then sits
    // right in front of the face, N·L = 1.
    D3DMATRIX view{};
    for (int i = 0; i < 4; ++i)
        view.m[i][i] = 1;
    view.m[3][0] = 10;
    device->SetTransform(D3DTS_VIEW, &view);
    D3DMATRIX world{};
    for (int i = 0; i < 4; ++i)
        world.m[i][i] = 1;
    world.m[3][0] = -10;
    device->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT9 light = pointLight(-10, 0, -10, {1, 1, 1, 0}, {0, 0, 0, 0});
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    drawFacingSquare(device);
    EXPECT_NEAR(redOf(centre()), 255, 1);
    EXPECT_NEAR(greenOf(centre()), 0.5 * 255, 1);
}

} // namespace
} // namespace tincrates

// Culling, depth testing and where pixels are covered.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class Rasterizer : public ::testing::Test {
protected:
    Rasterizer()
        : device(8, 8)
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1, 0);
    }

    void drawTriangles(const std::vector<QuadVertex>& vertices)
    {
        IDirect3DVertexBuffer9* buffer = device.vertexBuffer(vertices, quadFvf);
        device->SetFVF(quadFvf);
        device->SetStreamSource(0, buffer, 0, sizeof(QuadVertex));
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, UINT(vertices.size() / 3));
        device->EndScene();
    }

    // Left: clockwise on screen (up the left edge, then right). Right: counter-clockwise.
    void drawWindingPair()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
        drawTriangles({{-1, -1, 0, 0xFFFF0000, 0, 0}, {-1, 1, 0, 0xFFFF0000, 0, 0},
            {-0.1f, 1, 0, 0xFFFF0000, 0, 0}, {0.1f, -1, 0, 0xFF00FF00, 0, 0},
            {1, -1, 0, 0xFF00FF00, 0, 0}, {1, 1, 0, 0xFF00FF00, 0, 0}});
    }

    uint32_t left() { return device.readBack()[2 * 8 + 0]; }
    uint32_t right() { return device.readBack()[6 * 8 + 7]; }

    HeadlessDevice device;
};

TEST_F(Rasterizer, CounterClockwiseCullingKeepsClockwiseTriangles)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    drawWindingPair();
    EXPECT_EQ(left(), 0xFFFF0000u);
    EXPECT_EQ(right(), 0xFF000000u);
}

TEST_F(Rasterizer, ClockwiseCullingKeepsCounterClockwiseTriangles)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    drawWindingPair();
    EXPECT_EQ(left(), 0xFF000000u);
    EXPECT_EQ(right(), 0xFF00FF00u);
}

TEST_F(Rasterizer, NoCullingKeepsBoth)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    drawWindingPair();
    EXPECT_EQ(left(), 0xFFFF0000u);
    EXPECT_EQ(right(), 0xFF00FF00u);
}

TEST_F(Rasterizer, DepthTestKeepsTheNearerSurfaceWhateverTheOrder)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device.drawFan(device.fullScreenQuad(0xFF0000FF, 0, 0, 1, 1, 0.3f));
    device.drawFan(device.fullScreenQuad(0xFFFF0000, 0, 0, 1, 1, 0.6f));
    EXPECT_EQ(device.readBack()[0], 0xFF0000FFu);
    // Equal depth passes the default less-or-equal comparison.
    device.drawFan(device.fullScreenQuad(0xFF00FF00, 0, 0, 1, 1, 0.3f));
    EXPECT_EQ(device.readBack()[0], 0xFF00FF00u);
}

TEST_F(Rasterizer, WithoutDepthWritesLaterFartherDrawsStillShow)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device.drawFan(device.fullScreenQuad(0xFF0000FF, 0, 0, 1, 1, 0.3f));
    device.drawFan(device.fullScreenQuad(0xFFFF0000, 0, 0, 1, 1, 0.6f));
    EXPECT_EQ(device.readBack()[0], 0xFFFF0000u);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device.drawFan(device.fullScreenQuad(0xFF00FF00, 0, 0, 1, 1, 0.9f));
    EXPECT_EQ(device.readBack()[0], 0xFF00FF00u);
}

TEST_F(Rasterizer, ClipSpaceQuadCoversExactlyTheTarget)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // Half the width: x from -1 to 0 covers columns 0 to 3 and no more.
    std::vector<QuadVertex> quad{{-1, -1, 0, 0xFFFFFFFF, 0, 0}, {-1, 1, 0, 0xFFFFFFFF, 0, 0},
        {0, 1, 0, 0xFFFFFFFF, 0, 0}, {0, -1, 0, 0xFFFFFFFF, 0, 0}};
    device.drawFan(quad);
    auto pixels = device.readBack();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pixels[y * 8 + x], x < 4 ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
}

TEST_F(Rasterizer, IndexedDrawsReachOnlyVerticesInsideTheBuffer)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    auto quad = device.fullScreenQuad(0xFFFFFFFF);
    device->SetFVF(quadFvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, quadFvf), 0, sizeof(QuadVertex));
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices,
                  nullptr),
        D3D_OK);
    device.keep(indices);
    uint16_t* data = nullptr;
    indices->Lock(0, 0, reinterpret_cast<void**>(&data), 0);
    const uint16_t values[6] = {0, 1, 2, 0, 2, 9};
    std::copy(values, values + 6, data);
    indices->Unlock();
    device->SetIndices(indices);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 10, 0, 2),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2),
        D3DERR_INVALIDCALL);
    device->EndScene();
    EXPECT_EQ(device.readBack()[0], 0xFFFFFFFFu);
}

TEST_F(Rasterizer, DrawsOutsideASceneAreRefused)
{
    auto quad = device.fullScreenQuad();
    device->SetFVF(quadFvf);
    device->SetStreamSource(0, device.vertexBuffer(quad, quadFvf), 0, sizeof(QuadVertex));
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

} // namespace
} // namespace tincrates

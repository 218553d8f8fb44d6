// Index buffers: made, filled, drawn from, filled again, and made while another is set.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tincrates {
namespace {

using namespace testing;

constexpr uint32_t black = 0xFF000000;
constexpr uint32_t red = 0xFFFF0000;
constexpr uint32_t green = 0xFF00FF00;

// Vertices 0 to 3: a red quad over the left half; 4 to 7: a green one over the right half.
const std::vector<QuadVertex> halves{{-1, -1, 0, red, 0, 0}, {-1, 1, 0, red, 0, 0},
    {0, 1, 0, red, 0, 0}, {0, -1, 0, red, 0, 0}, {0, -1, 0, green, 0, 0},
    {0, 1, 0, green, 0, 0}, {1, 1, 0, green, 0, 0}, {1, -1, 0, green, 0, 0}};

class IndexBuffer : public ::testing::Test {
protected:
    IndexBuffer()
        : device(8, 8)
    {
        device.setPlainStates();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetFVF(quadFvf);
        device->SetStreamSource(0, device.vertexBuffer(halves, quadFvf), 0, sizeof(QuadVertex));
    }

    // The two triangles of the quad that starts at vertex `first`.
    template <class Index>
    IDirect3DIndexBuffer9* quadIndices(D3DFORMAT format, Index first)
    {
        IDirect3DIndexBuffer9* indices = nullptr;
        EXPECT_EQ(device->CreateIndexBuffer(
                      6 * sizeof(Index), 0, format, D3DPOOL_MANAGED, &indices, nullptr),
            D3D_OK);
        fill(indices, first);
        return device.keep(indices);
    }

    template <class Index>
    void fill(IDirect3DIndexBuffer9* indices, Index first)
    {
        const Index values[6] = {first, Index(first + 1), Index(first + 2), first,
            Index(first + 2), Index(first + 3)};
        void* data = nullptr;
        ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, values, sizeof values);
        ASSERT_EQ(indices->Unlock(), D3D_OK);
    }

    // Clears to black, draws two triangles from the set indices, and gives the colours at
    // the left and the right.
    std::pair<uint32_t, uint32_t> draw()
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, black, 1.0f, 0);
        device->BeginScene();
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), D3D_OK);
        device->EndScene();
        auto pixels = device.readBack();
        return {pixels[4 * 8 + 1], pixels[4 * 8 + 6]};
    }

    HeadlessDevice device;
};

TEST_F(IndexBuffer, SixteenBitIndicesAreDrawn)
{
    device->SetIndices(quadIndices<uint16_t>(D3DFMT_INDEX16, 4));
    EXPECT_EQ(draw(), std::pair(black, green));
}

TEST_F(IndexBuffer, ThirtyTwoBitIndicesAreDrawn)
{
    device->SetIndices(quadIndices<uint32_t>(D3DFMT_INDEX32, 0));
    EXPECT_EQ(draw(), std::pair(red, black));
}

TEST_F(IndexBuffer, IndicesFilledAgainAfterADrawAreDrawn)
{
    IDirect3DIndexBuffer9* indices = quadIndices<uint16_t>(D3DFMT_INDEX16, 0);
    device->SetIndices(indices);
    EXPECT_EQ(draw(), std::pair(red, black));
    fill<uint16_t>(indices, 4);
    EXPECT_EQ(draw(), std::pair(black, green));
}

TEST_F(IndexBuffer, MakingAndFillingAnotherLeavesTheSetOneDrawn)
{
    device->SetIndices(quadIndices<uint16_t>(D3DFMT_INDEX16, 0));
    EXPECT_EQ(draw(), std::pair(red, black));
    IDirect3DIndexBuffer9* other = quadIndices<uint16_t>(D3DFMT_INDEX16, 4);
    EXPECT_EQ(draw(), std::pair(red, black));
    fill<uint16_t>(other, 4);
    EXPECT_EQ(draw(), std::pair(red, black));
    device->SetIndices(other);
    EXPECT_EQ(draw(), std::pair(black, green));
}

TEST_F(IndexBuffer, ReleasingTheSetOneAfterMakingAnotherKeepsDrawing)
{
    IDirect3DIndexBuffer9* first = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &first,
                  nullptr),
        D3D_OK);
    fill<uint16_t>(first, 0);
    device->SetIndices(first);
    first->Release(); // the device's binding keeps it
    quadIndices<uint16_t>(D3DFMT_INDEX16, 4);
    EXPECT_EQ(draw(), std::pair(red, black));
}

} // namespace
} // namespace tincrates

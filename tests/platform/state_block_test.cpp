// State blocks: recording leaves the device alone; Apply sets what was recorded.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

TEST(StateBlock, RecordingDoesNotChangeTheDeviceAndApplyReplays)
{
    HeadlessDevice device(4, 4);
    IDirect3DTexture9* texture = device.texture(1, 1, {0xFF00FF00});
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTexture(0, texture);
    IDirect3DStateBlock9* block = nullptr;
    ASSERT_EQ(device->EndStateBlock(&block), D3D_OK);
    ASSERT_NE(block, nullptr);

    DWORD value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CCW));
    device->GetRenderState(D3DRS_TEXTUREFACTOR, &value);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);

    ASSERT_EQ(block->Apply(), D3D_OK);
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_NONE));
    device->GetRenderState(D3DRS_TEXTUREFACTOR, &value);
    EXPECT_EQ(value, 0x12345678u);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_ADD));
    device->GetSamplerState(2, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_CLAMP));
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, texture);
    bound->Release();
    EXPECT_EQ(block->Release(), 0u);
}

TEST(StateBlock, UnrecordedStatesKeepTheirCurrentValues)
{
    HeadlessDevice device(4, 4);
    device->BeginStateBlock();
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    IDirect3DStateBlock9* block = nullptr;
    device->EndStateBlock(&block);
    device->SetRenderState(D3DRS_AMBIENT, 0x00101010);
    block->Apply();
    DWORD value = 0;
    device->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0x00101010u);
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    block->Release();
}

TEST(StateBlock, AppliedBlockDrawsWithItsBlendAndTexture)
{
    // Like a material: blending, stage set-up and texture from one block.
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    IDirect3DTexture9* texture = device.texture(1, 1, {0x80FF0000});
    device->BeginStateBlock();
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTexture(0, texture);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    IDirect3DStateBlock9* block = nullptr;
    device->EndStateBlock(&block);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1, 0);
    block->Apply();
    device.drawFan(device.fullScreenQuad());
    uint32_t pixel = device.readBack()[0];
    EXPECT_NEAR(redOf(pixel), 0x80, 1);
    EXPECT_NEAR(blueOf(pixel), 0x7F, 1);
    block->Release();
}

TEST(StateBlock, KeepsRecordedTexturesAliveWithoutCountingThem)
{
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    *static_cast<uint32_t*>(locked.pBits) = 0xFF306090;
    texture->UnlockRect(0);
    device->BeginStateBlock();
    device->SetTexture(0, texture);
    IDirect3DStateBlock9* block = nullptr;
    device->EndStateBlock(&block);
    EXPECT_EQ(texture->Release(), 0u);
    block->Apply();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[0], 0xFF306090u);
    device->SetTexture(0, nullptr);
    EXPECT_EQ(block->Release(), 0u); // the block's hold was the last
}

TEST(StateBlock, EndWithoutBeginFails)
{
    HeadlessDevice device(4, 4);
    IDirect3DStateBlock9* block = nullptr;
    EXPECT_EQ(device->EndStateBlock(&block), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndStateBlock(&block), D3D_OK);
    block->Release();
}

} // namespace
} // namespace tincrates

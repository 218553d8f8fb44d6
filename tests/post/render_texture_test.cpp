// RenderTexture: creation, binding, restoring and the reference it borrows while bound.
#include "post/render_texture.h"

#include "support/error_of.h"
#include "testbed/headless_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::errorOf;
using testing::HeadlessDevice;

constexpr DWORD renderTargetUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP;

// How many references `surface` has, without changing it.
ULONG countOf(IDirect3DSurface9* surface)
{
    surface->AddRef();
    return surface->Release();
}

TEST(RenderTexture, LevelZeroHasTheRequestedSize)
{
    HeadlessDevice device(64, 48);
    RenderTexture target(*device.get(), 256, 128, renderTargetUsage, D3DPOOL_DEFAULT);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(target.texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 128u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(target.savedSurface, nullptr);
}

TEST(RenderTexture, BindDrawUnbindRestoresTheBackBufferAndItsCount)
{
    HeadlessDevice device(64, 48);
    RenderTexture target(*device.get(), 32, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    ULONG before = countOf(backBuffer);

    target.bind(0);
    EXPECT_EQ(target.savedSurface, backBuffer);
    EXPECT_EQ(countOf(backBuffer), before + 1);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 32u); // drawing covers the whole texture
    EXPECT_EQ(viewport.Height, 16u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF123456, 1, 0);
    target.unbind();

    EXPECT_EQ(target.savedSurface, nullptr);
    EXPECT_EQ(countOf(backBuffer), before);
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, backBuffer);
    current->Release();
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 64u);
    EXPECT_EQ(viewport.Height, 48u);
    auto pixels = device.readBack(target.surface);
    EXPECT_EQ(pixels.front(), 0xFF123456u);
    EXPECT_EQ(pixels.back(), 0xFF123456u);
    backBuffer->Release();
}

TEST(RenderTexture, SecondBindThrowsAndChangesNothing)
{
    HeadlessDevice device(16, 16);
    RenderTexture target(*device.get(), 8, 8, renderTargetUsage, D3DPOOL_DEFAULT);
    target.bind(0);
    IDirect3DSurface9* saved = target.savedSurface;
    EXPECT_EQ(errorOf([&] { target.bind(0); }), "RenderTarget already set");
    EXPECT_EQ(target.savedSurface, saved);
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, target.surface);
    current->Release();
    target.unbind();
}

TEST(RenderTexture, UnbindWithoutBindDoesNothing)
{
    HeadlessDevice device(16, 16);
    RenderTexture target(*device.get(), 8, 8, renderTargetUsage, D3DPOOL_DEFAULT);
    IDirect3DSurface9* before = nullptr;
    device->GetRenderTarget(0, &before);
    target.unbind();
    IDirect3DSurface9* after = nullptr;
    device->GetRenderTarget(0, &after);
    EXPECT_EQ(after, before);
    before->Release();
    after->Release();
}

TEST(RenderTexture, FailedCreationThrowsItsText)
{
    HeadlessDevice device(16, 16);
    EXPECT_EQ(errorOf([&] {
        RenderTexture(*device.get(), 0, 8, renderTargetUsage, D3DPOOL_DEFAULT);
    }),
        "failed to create render-texture");
    EXPECT_EQ(errorOf([&] {
        RenderTexture(*device.get(), 8, 8, renderTargetUsage, D3DPOOL_MANAGED);
    }),
        "failed to create render-texture");
}

TEST(RenderTexture, DestroyingABoundTextureRestoresTheTarget)
{
    HeadlessDevice device(16, 16);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    ULONG before = countOf(backBuffer);
    {
        RenderTexture target(*device.get(), 8, 8, renderTargetUsage, D3DPOOL_DEFAULT);
        target.bind(0);
    }
    IDirect3DSurface9* current = nullptr;
    device->GetRenderTarget(0, &current);
    EXPECT_EQ(current, backBuffer);
    current->Release();
    EXPECT_EQ(countOf(backBuffer), before);
    backBuffer->Release();
}

} // namespace
} // namespace tincrates

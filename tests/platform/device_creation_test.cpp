// Creating the device, what the adapter reports, and reference counts.
#include "platform/gpu/d3d9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <GLES3/gl3.h>

#include <cstdlib>
#include <string>

namespace tincrates {
namespace {

using namespace testing;

TEST(Direct3D, OnlyTheKnownSdkVersionIsAccepted)
{
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3d, nullptr);
    EXPECT_EQ(direct3d->Release(), 0u);
}

TEST(Direct3D, ReportsHardwareTransformAndLightingAndADisplayMode)
{
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DCAPS9 caps{};
    ASSERT_EQ(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_GE(caps.MaxActiveLights, 8u);
    EXPECT_GE(caps.MaxTextureBlendStages, 2u);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_LT(direct3d->GetAdapterDisplayMode(1, &mode), 0);
    direct3d->Release();
}

TEST(Direct3D, CreateDeviceFailsWithoutAWindowOrParameters)
{
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 4;
    params.BackBufferHeight = 4;
    IDirect3DDevice9* device = nullptr;
    EXPECT_LT(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params,
                  &device),
        0);
    EXPECT_EQ(device, nullptr);
    auto window = createWindow(WindowKind::Headless, "", 4, 4, false);
    EXPECT_LT(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(), 0,
                  nullptr, &device),
        0);
    direct3d->Release();
}

TEST(Direct3D, TheTestContextIsOfTheRequestedApi)
{
    HeadlessDevice device(4, 4);
    std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* api = std::getenv("TINCRATES_TEST_GL");
    bool wantsCore = api && std::string(api) == "core";
    EXPECT_EQ(version.rfind("OpenGL ES", 0) == 0, !wantsCore) << version;
}

TEST(Direct3D, TwoDevicesOnOneThreadEachDrawIntoTheirOwnTargets)
{
    HeadlessDevice first(4, 4);
    IDirect3DTexture9* texture = nullptr;
    first->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    HeadlessDevice second(2, 2); // its window's context is now the current one
    first->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1, 0);
    second->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF445566, 1, 0);
    EXPECT_EQ(first.readBack()[0], 0xFF112233u);
    EXPECT_EQ(second.readBack()[0], 0xFF445566u);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(second.readBack()[3], 0xFF445566u);
}

TEST(Direct3D, WithoutADisplayServerThereIsNoScreen)
{
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        GTEST_SKIP() << "a display server is configured";
    EXPECT_FALSE(hasScreen());
}

TEST(ReferenceCounts, AddRefAndReleaseReturnTheNewCount)
{
    HeadlessDevice device(4, 4);
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    EXPECT_EQ(texture->AddRef(), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST(ReferenceCounts, SurfaceLevelsShareTheirTexturesCount)
{
    HeadlessDevice device(4, 4);
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(256, 128, 0, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP,
        D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 128u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);
    texture->Release();
    // Released in the order a render texture uses: surface first, then texture.
    EXPECT_EQ(surface->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST(ReferenceCounts, GetRenderTargetAddsAReferenceThatTheCallerReturns)
{
    HeadlessDevice device(4, 4);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    EXPECT_EQ(backBuffer->AddRef(), 2u);
    backBuffer->Release();
    IDirect3DSurface9* again = nullptr;
    device->GetRenderTarget(0, &again);
    EXPECT_EQ(again, backBuffer);
    EXPECT_EQ(again->Release(), 1u);

    // As in Direct3D 9, the device's hold on its target is not part of the count.
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
        &texture, nullptr);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    device->SetRenderTarget(0, surface);
    EXPECT_EQ(texture->AddRef(), 3u); // ours, the surface's and this one
    texture->Release();
    device->SetRenderTarget(0, backBuffer);
    EXPECT_EQ(backBuffer->Release(), 0u);
    surface->Release();
    EXPECT_EQ(texture->Release(), 0u);
    // The back buffer lives on with the device.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1, 0);
    EXPECT_EQ(device.readBack()[0], 0xFF00FF00u);
}

TEST(ReferenceCounts, BoundTexturesStayUsableAfterTheirLastRelease)
{
    HeadlessDevice device(4, 4);
    device.setPlainStates();
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    *static_cast<uint32_t*>(locked.pBits) = 0xFF804020;
    texture->UnlockRect(0);
    device->SetTexture(0, texture);
    EXPECT_EQ(texture->Release(), 0u);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.drawFan(device.fullScreenQuad());
    EXPECT_EQ(device.readBack()[0], 0xFF804020u);
    device->SetTexture(0, nullptr); // the device's hold was the last
}

TEST(ReferenceCounts, ResourcesMayOutliveTheDeviceReference)
{
    auto window = createWindow(WindowKind::Headless, "", 4, 4, false);
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 4;
    params.BackBufferHeight = 4;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.EnableAutoDepthStencil = TRUE;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(), 0,
                  &params, &device),
        D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    device->CreateVertexBuffer(96, 0, 0x142, D3DPOOL_MANAGED, &buffer, nullptr);
    IDirect3DTexture9* texture = nullptr;
    device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    device->SetTexture(0, texture);
    device->SetStreamSource(0, buffer, 0, 24);
    EXPECT_EQ(device->EvictManagedResources(), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    window.reset();
    // The device dropped its bindings; the last references go after it without harm.
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
    direct3d->Release();
}

TEST(Buffers, LocksAreCheckedAgainstTheBuffer)
{
    HeadlessDevice device(4, 4);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(96, 0, 0x142, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    device.keep(buffer);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(90, 10, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(100, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    IDirect3DIndexBuffer9* indices = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &indices, nullptr),
        D3DERR_INVALIDCALL);
}

} // namespace
} // namespace tincrates

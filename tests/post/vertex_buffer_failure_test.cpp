// Quads and passes whose vertex buffer cannot be made or filled fail with a message and
// hold nothing afterwards.
#include "post/screen_quad.h"

#include "post/blur_pass.h"
#include "published_device.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

// A vertex buffer that refuses to be locked, counting its references.
class UnlockableBuffer final : public IDirect3DVertexBuffer9 {
public:
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return E_FAIL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT, UINT, void**, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT Unlock() override { return D3DERR_INVALIDCALL; }

    ULONG count = 0;
};

// A device on which everything fails, except textures when a real device is given to make
// them, and vertex buffers when `buffer` is set.
class FailingDevice final : public IDirect3DDevice9 {
public:
    explicit FailingDevice(IDirect3DDevice9* textureMaker = nullptr) : textureMaker(textureMaker)
    {
    }

    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override
    {
        if (!textureMaker)
            return E_FAIL;
        return textureMaker->CreateTexture(w, h, levels, usage, format, pool, texture, shared);
    }
    HRESULT CreateVertexBuffer(
        UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** out, HANDLE*) override
    {
        if (!buffer)
            return D3DERR_OUTOFVIDEOMEMORY;
        buffer->AddRef();
        *out = buffer;
        return D3D_OK;
    }

    HRESULT BeginScene() override { return E_FAIL; }
    HRESULT EndScene() override { return E_FAIL; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override
    {
        return E_FAIL;
    }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return E_FAIL; }
    HRESULT GetBackBuffer(UINT, UINT, DWORD, IDirect3DSurface9**) override { return E_FAIL; }
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9**) override { return E_FAIL; }
    HRESULT SetRenderTarget(DWORD, IDirect3DSurface9*) override { return E_FAIL; }
    HRESULT GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override
    {
        return E_FAIL;
    }
    HRESULT SetViewport(const D3DVIEWPORT9*) override { return E_FAIL; }
    HRESULT GetViewport(D3DVIEWPORT9*) override { return E_FAIL; }
    HRESULT CreateIndexBuffer(
        UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) override
    {
        return E_FAIL;
    }
    HRESULT CreateOffscreenPlainSurface(
        UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) override
    {
        return E_FAIL;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_FAIL; }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_FAIL; }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override
    {
        return E_FAIL;
    }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override
    {
        return E_FAIL;
    }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_FAIL; }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_FAIL; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_FAIL; }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_FAIL; }
    HRESULT SetMaterial(const D3DMATERIAL9*) override { return E_FAIL; }
    HRESULT GetMaterial(D3DMATERIAL9*) override { return E_FAIL; }
    HRESULT SetLight(DWORD, const D3DLIGHT9*) override { return E_FAIL; }
    HRESULT GetLight(DWORD, D3DLIGHT9*) override { return E_FAIL; }
    HRESULT LightEnable(DWORD, BOOL) override { return E_FAIL; }
    HRESULT GetLightEnable(DWORD, BOOL*) override { return E_FAIL; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return E_FAIL; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture9**) override { return E_FAIL; }
    HRESULT BeginStateBlock() override { return E_FAIL; }
    HRESULT EndStateBlock(IDirect3DStateBlock9**) override { return E_FAIL; }
    HRESULT SetFVF(DWORD) override { return E_FAIL; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override
    {
        return E_FAIL;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9*) override { return E_FAIL; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return E_FAIL; }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override
    {
        return E_FAIL;
    }
    HRESULT EvictManagedResources() override { return E_FAIL; }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return E_FAIL; }

    IDirect3DVertexBuffer9* buffer = nullptr; // handed out when set; not owned

private:
    IDirect3DDevice9* textureMaker; // not owned
};

TEST(VertexBufferFailure, QuadReportsABufferThatCannotBeMade)
{
    HeadlessDevice device(8, 8);
    RenderTexture image(*device.get(), 4, 4, renderTargetUsage, D3DPOOL_DEFAULT);
    FailingDevice failing;
    PublishedDevice published(&failing);
    EXPECT_EQ(errorOf([&] { ScreenQuad quad(image, 1.0f); }), "failed to create vertex buffer");
}

TEST(VertexBufferFailure, QuadReleasesABufferThatCannotBeLocked)
{
    // Writing the vertices through the null pointer of a failed lock would crash.
    HeadlessDevice device(8, 8);
    RenderTexture image(*device.get(), 4, 4, renderTargetUsage, D3DPOOL_DEFAULT);
    UnlockableBuffer buffer;
    FailingDevice failing;
    failing.buffer = &buffer;
    PublishedDevice published(&failing);
    EXPECT_EQ(errorOf([&] { ScreenQuad quad(image, 1.0f); }), "failed to lock vertex buffer");
    EXPECT_EQ(buffer.count, 0u);
}

TEST(VertexBufferFailure, BlurPassReportsABufferThatCannotBeMade)
{
    HeadlessDevice device(8, 8);
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    FailingDevice failing(device.get());
    PublishedDevice published(&failing);
    EXPECT_EQ(errorOf([&] { BlurPass pass(&source, 16, 16); }), "failed to create vertex buffer");
}

TEST(VertexBufferFailure, BlurPassReportsAnOutputThatCannotBeMade)
{
    HeadlessDevice device(8, 8);
    RenderTexture source(*device.get(), 16, 16, renderTargetUsage, D3DPOOL_DEFAULT);
    FailingDevice failing;
    PublishedDevice published(&failing);
    EXPECT_EQ(errorOf([&] { BlurPass pass(&source, 16, 16); }),
        "failed to create render-texture");
}

} // namespace
} // namespace tincrates

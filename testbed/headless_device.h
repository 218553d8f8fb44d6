// A Direct3D 9 device without a screen for tests and benchmarks that draw and read the pixels
// back, with small helpers to build geometry and textures.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_device.h"
#include "platform/window/headless_window.h"
#include "platform/window/window_factory.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <png.h>

#include <cstdlib>

namespace tincrates::testing {

// A vertex of FVF 0x142: position, colour, one texture coordinate.
struct QuadVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
constexpr DWORD quadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The headless window of the tests: OpenGL ES 3.0, or OpenGL 3.3 core when the environment
// has TINCRATES_TEST_GL=core (CTest runs the graphics tests both ways).
inline std::shared_ptr<Window> testWindow()
{
    const char* api = std::getenv("TINCRATES_TEST_GL");
    if (api && std::string(api) == "core")
        return std::make_shared<HeadlessWindow>(GlApi::OpenGl33Core);
    return createWindow(WindowKind::Headless, "test", 1, 1, false);
}

// The pixels of a render target of `device` (the current one when null), top row first,
// 0xAARRGGBB.
inline std::vector<uint32_t> readTarget(IDirect3DDevice9& device,
    IDirect3DSurface9* target = nullptr)
{
    IDirect3DSurface9* surface = target;
    if (!surface)
        device.GetRenderTarget(0, &surface);
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    device.CreateOffscreenPlainSurface(
        desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
    device.GetRenderTargetData(surface, copy);
    D3DLOCKED_RECT locked;
    copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    std::vector<uint32_t> pixels(size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(pixels.data() + size_t(y) * desc.Width,
            static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, desc.Width * 4);
    copy->UnlockRect();
    copy->Release();
    if (!target)
        surface->Release();
    return pixels;
}

// The description of `device`'s back buffer.
inline D3DSURFACE_DESC backBufferDesc(IDirect3DDevice9* device)
{
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetBackBuffer(0, 0, 0, &backBuffer);
    D3DSURFACE_DESC desc{};
    backBuffer->GetDesc(&desc);
    backBuffer->Release();
    return desc;
}

// A windowed back buffer of width × height with a D24S8 depth buffer, as the tests' devices
// are made.
inline D3DPRESENT_PARAMETERS headlessPresentParameters(
    UINT width, UINT height, D3DFORMAT backBufferFormat = D3DFMT_A8R8G8B8)
{
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = backBufferFormat;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    return params;
}

class HeadlessDevice {
public:
    explicit HeadlessDevice(UINT width = 64, UINT height = 64,
        D3DFORMAT backBufferFormat = D3DFMT_A8R8G8B8)
        : window(testWindow())
        , width(width)
        , height(height)
    {
        direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params = headlessPresentParameters(width, height, backBufferFormat);
        if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
                D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device)))
            throw std::string("CreateDevice() failed");
        // TINCRATES_TEST_FIXED_POINT=shaders: filtering and blending as the browser does them,
        // and depth buffers sized to each render target as WebGL wants (CTest runs the
        // graphics tests that way too).
        const char* fixedPoint = std::getenv("TINCRATES_TEST_FIXED_POINT");
        if (fixedPoint && std::string(fixedPoint) == "shaders") {
            static_cast<gl::GlDevice*>(device)->setFixedPointInShaders(true);
            static_cast<gl::GlDevice*>(device)->setDepthSizedToTargets(true);
        }
    }
    HeadlessDevice(const HeadlessDevice&) = delete;
    HeadlessDevice& operator=(const HeadlessDevice&) = delete;
    ~HeadlessDevice()
    {
        for (IUnknown* object : owned)
            object->Release();
        device->Release();
        direct3d->Release();
    }

    IDirect3DDevice9* operator->() { return device; }
    IDirect3DDevice9* get() { return device; }

    // Releases `object` when the fixture goes.
    template <class T>
    T* keep(T* object)
    {
        owned.push_back(object);
        return object;
    }

    // The pixels of a render target (the current one when null), top row first, 0xAARRGGBB.
    std::vector<uint32_t> readBack(IDirect3DSurface9* target = nullptr)
    {
        return readTarget(*device, target);
    }

    // A vertex buffer holding `vertices`.
    template <class Vertex>
    IDirect3DVertexBuffer9* vertexBuffer(const std::vector<Vertex>& vertices, DWORD fvf)
    {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT length = UINT(vertices.size() * sizeof(Vertex));
        device->CreateVertexBuffer(length, 0, fvf, D3DPOOL_MANAGED, &buffer, nullptr);
        void* data = nullptr;
        buffer->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), length);
        buffer->Unlock();
        return keep(buffer);
    }

    // A managed texture whose level 0 holds `pixels` (0xAARRGGBB, top row first).
    IDirect3DTexture9* texture(UINT w, UINT h, const std::vector<uint32_t>& pixels,
        UINT levels = 1, D3DFORMAT format = D3DFMT_A8R8G8B8)
    {
        IDirect3DTexture9* result = nullptr;
        device->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &result, nullptr);
        D3DLOCKED_RECT locked;
        result->LockRect(0, &locked, nullptr, 0);
        for (UINT y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                pixels.data() + size_t(y) * w, w * 4);
        result->UnlockRect(0);
        return keep(result);
    }

    // A quad over the whole target with identity transforms; (u0, v0) at the top left.
    std::vector<QuadVertex> fullScreenQuad(uint32_t colour = 0xFFFFFFFF, float u0 = 0,
        float v0 = 0, float u1 = 1, float v1 = 1, float z = 0)
    {
        return {{-1, -1, z, colour, u0, v1}, {-1, 1, z, colour, u0, v0},
            {1, 1, z, colour, u1, v0}, {1, -1, z, colour, u1, v1}};
    }

    // Draws a triangle fan of four vertices between BeginScene and EndScene.
    void drawFan(const std::vector<QuadVertex>& quad)
    {
        IDirect3DVertexBuffer9* buffer = vertexBuffer(quad, quadFvf);
        device->SetFVF(quadFvf);
        device->SetStreamSource(0, buffer, 0, sizeof(QuadVertex));
        device->BeginScene();
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
        device->EndScene();
    }

    // States for drawing unlit, untransformed quads.
    void setPlainStates()
    {
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    }

    std::shared_ptr<Window> window;
    UINT width, height;
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;

private:
    std::vector<IUnknown*> owned;
};

// Writes pixels as a PNG, for looking at what a test drew.
inline bool writePng(const std::string& path, UINT width, UINT height,
    const std::vector<uint32_t>& pixels)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

inline int channel(uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); }
inline int alphaOf(uint32_t p) { return channel(p, 24); }
inline int redOf(uint32_t p) { return channel(p, 16); }
inline int greenOf(uint32_t p) { return channel(p, 8); }
inline int blueOf(uint32_t p) { return channel(p, 0); }

} // namespace tincrates::testing

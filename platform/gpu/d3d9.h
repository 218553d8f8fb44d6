// The Direct3D 9 interface that the drawing code calls, limited to the operations it uses.
// Every object is reference counted: AddRef and Release return the new count, and the object
// is destroyed when its count reaches zero. Operations return D3D_OK or a negative HRESULT.
// A surface of a texture shares its texture's count, as in Direct3D 9.
#pragma once

#include "platform/gpu/d3d9_types.h"

namespace tincrates {

class IUnknown {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

class IDirect3DDevice9;

class IDirect3DResource9 : public IUnknown {
public:
    // Adds a reference to the device and hands it out.
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;

protected:
    ~IDirect3DResource9() = default;
};

class IDirect3DSurface9 : public IDirect3DResource9 {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // Only system-memory surfaces (CreateOffscreenPlainSurface) and surfaces of managed
    // textures can be locked. Rows are top first, pixels 0xAARRGGBB.
    virtual HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;

protected:
    ~IDirect3DSurface9() = default;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    // A texture made with D3DUSAGE_AUTOGENMIPMAP reports one level; its further levels are
    // made by the device from level 0.
    virtual DWORD GetLevelCount() = 0;

protected:
    ~IDirect3DBaseTexture9() = default;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // Hands out the level's surface with one more reference on the texture.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    // Managed textures only. The content reaches the device at UnlockRect.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
        DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;

protected:
    ~IDirect3DTexture9() = default;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
public:
    // sizeToLock 0 locks from offsetToLock to the end. The data reaches the device at Unlock.
    virtual HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;

protected:
    ~IDirect3DVertexBuffer9() = default;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
public:
    virtual HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;

protected:
    ~IDirect3DIndexBuffer9() = default;
};

class IDirect3DStateBlock9 : public IUnknown {
public:
    // Sets every state that was recorded into the block, with the recorded values.
    virtual HRESULT Apply() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;

protected:
    ~IDirect3DStateBlock9() = default;
};

class IDirect3DDevice9 : public IUnknown {
public:
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Clears the viewport, or the given rectangles inside it, of the current render target
    // and of the depth-stencil surface. color is 0xAARRGGBB.
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
        float z, DWORD stencil) = 0;
    // Shows the back buffer. Rectangles, window override and dirty region must be null.
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
        const RGNDATA* dirtyRegion) = 0;

    virtual HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type,
        IDirect3DSurface9** surface) = 0;
    // Hands out the current target with one more reference.
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
    // Index 0 only. Holds a reference to the new target, drops the one to the old, and sets
    // the viewport to the whole new target.
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
    // Copies a render target into a system-memory surface of the same size and format.
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
        IDirect3DSurface9* destSurface) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;

    // levels 0 makes the whole mip chain. Formats D3DFMT_A8R8G8B8 and D3DFMT_X8R8G8B8.
    // D3DUSAGE_RENDERTARGET needs D3DPOOL_DEFAULT.
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
        IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
        IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    // A lockable surface in D3DPOOL_SYSTEMMEM, for reading render targets back.
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
        D3DPOOL pool, IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    // The device holds a reference to each bound texture until it is replaced.
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;

    // Between these two calls the Set operations are recorded into the new block instead of
    // changing the device. EndStateBlock hands the block out with one reference.
    virtual HRESULT BeginStateBlock() = 0;
    virtual HRESULT EndStateBlock(IDirect3DStateBlock9** stateBlock) = 0;

    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
        UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* indices) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
        UINT minVertexIndex, UINT numVertices, UINT startIndex, UINT count) = 0;

    // Managed resources stay valid; the call only drops copies the device may rebuild.
    virtual HRESULT EvictManagedResources() = 0;
    // Gives the device a back buffer of the new size (0 takes the window's), as when its
    // window is resized. Outside a scene only, and only while the application holds no
    // reference to the back buffer. As in Direct3D 9 the back buffer becomes render target 0
    // with a viewport over all of it, and every state returns to its default, bindings
    // included. Unlike Direct3D 9 (as in 9Ex), resources in D3DPOOL_DEFAULT survive it and
    // need not be released first.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;

protected:
    ~IDirect3DDevice9() = default;
};

class IDirect3D9 : public IUnknown {
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // The device draws into focusWindow (or params->hDeviceWindow when set). Its back buffer
    // has the requested size; on a window without a screen it is only read back.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow,
        DWORD behaviourFlags, D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;

protected:
    ~IDirect3D9() = default;
};

// Returns a new IDirect3D9 with one reference, or null when sdkVersion is not D3D_SDK_VERSION.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

} // namespace tincrates

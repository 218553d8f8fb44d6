// An IDirect3DDevice9 that writes down every call, one line each ("SetRenderState 22 1"), and
// passes it on to a real device, so tests can check the order of calls and still draw.
// Pointers are written as "null" or "ptr"; records (matrices, lights) by name only.
#pragma once

#include "platform/gpu/d3d9.h"

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace tincrates::testing {

class RecordingDevice final : public IDirect3DDevice9 {
public:
    // `inner` is not owned and must outlive the recorder.
    explicit RecordingDevice(IDirect3DDevice9& inner) : inner(inner) {}
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;
    ~RecordingDevice() = default;

    // Every call so far, oldest first.
    std::vector<std::string> calls;

    // The calls whose line starts with `name`.
    std::vector<std::string> callsNamed(const std::string& name) const
    {
        std::vector<std::string> result;
        for (const std::string& call : calls)
            if (call == name || call.rfind(name + " ", 0) == 0)
                result.push_back(call);
        return result;
    }

    // The recorder lives on the stack of a test; counting only keeps the interface whole.
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }

    HRESULT BeginScene() override { return log("BeginScene"), inner.BeginScene(); }
    HRESULT EndScene() override { return log("EndScene"), inner.EndScene(); }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
        DWORD stencil) override
    {
        log("Clear", count, rects, flags, color, z, stencil);
        return inner.Clear(count, rects, flags, color, z, stencil);
    }
    HRESULT Present(const RECT* a, const RECT* b, HWND c, const RGNDATA* d) override
    {
        log("Present", a, b, c, d);
        return inner.Present(a, b, c, d);
    }
    HRESULT GetBackBuffer(UINT chain, UINT index, DWORD type, IDirect3DSurface9** s) override
    {
        log("GetBackBuffer", chain, index, type);
        return inner.GetBackBuffer(chain, index, type, s);
    }
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override
    {
        log("GetRenderTarget", index);
        return inner.GetRenderTarget(index, surface);
    }
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override
    {
        log("SetRenderTarget", index, surface);
        return inner.SetRenderTarget(index, surface);
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* from, IDirect3DSurface9* to) override
    {
        log("GetRenderTargetData", from, to);
        return inner.GetRenderTargetData(from, to);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override
    {
        log("SetViewport", viewport);
        return inner.SetViewport(viewport);
    }
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override
    {
        log("GetViewport");
        return inner.GetViewport(viewport);
    }
    HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override
    {
        log("CreateTexture", w, h, levels, usage, format, pool);
        return inner.CreateTexture(w, h, levels, usage, format, pool, texture, shared);
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
        IDirect3DVertexBuffer9** buffer, HANDLE* shared) override
    {
        log("CreateVertexBuffer", length, usage, fvf, pool);
        return inner.CreateVertexBuffer(length, usage, fvf, pool, buffer, shared);
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
        IDirect3DIndexBuffer9** buffer, HANDLE* shared) override
    {
        log("CreateIndexBuffer", length, usage, format, pool);
        return inner.CreateIndexBuffer(length, usage, format, pool, buffer, shared);
    }
    HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool,
        IDirect3DSurface9** surface, HANDLE* shared) override
    {
        log("CreateOffscreenPlainSurface", w, h, format, pool);
        return inner.CreateOffscreenPlainSurface(w, h, format, pool, surface, shared);
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        log("SetRenderState", state, value);
        return inner.SetRenderState(state, value);
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        log("GetRenderState", state);
        return inner.GetRenderState(state, value);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD value) override
    {
        log("SetTextureStageState", stage, type, value);
        return inner.SetTextureStageState(stage, type, value);
    }
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD* value) override
    {
        log("GetTextureStageState", stage, type);
        return inner.GetTextureStageState(stage, type, value);
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        log("SetSamplerState", sampler, type, value);
        return inner.SetSamplerState(sampler, type, value);
    }
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override
    {
        log("GetSamplerState", sampler, type);
        return inner.GetSamplerState(sampler, type, value);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        log("SetTransform", state);
        return inner.SetTransform(state, matrix);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override
    {
        log("GetTransform", state);
        return inner.GetTransform(state, matrix);
    }
    HRESULT SetMaterial(const D3DMATERIAL9* material) override
    {
        log("SetMaterial");
        return inner.SetMaterial(material);
    }
    HRESULT GetMaterial(D3DMATERIAL9* material) override
    {
        log("GetMaterial");
        return inner.GetMaterial(material);
    }
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override
    {
        log("SetLight", index);
        return inner.SetLight(index, light);
    }
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override
    {
        log("GetLight", index);
        return inner.GetLight(index, light);
    }
    HRESULT LightEnable(DWORD index, BOOL enable) override
    {
        log("LightEnable", index, enable);
        return inner.LightEnable(index, enable);
    }
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override
    {
        log("GetLightEnable", index);
        return inner.GetLightEnable(index, enable);
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override
    {
        log("SetTexture", stage, texture);
        return inner.SetTexture(stage, texture);
    }
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override
    {
        log("GetTexture", stage);
        return inner.GetTexture(stage, texture);
    }
    HRESULT BeginStateBlock() override { return log("BeginStateBlock"), inner.BeginStateBlock(); }
    HRESULT EndStateBlock(IDirect3DStateBlock9** block) override
    {
        log("EndStateBlock");
        return inner.EndStateBlock(block);
    }
    HRESULT SetFVF(DWORD fvf) override { return log("SetFVF", fvf), inner.SetFVF(fvf); }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
        UINT stride) override
    {
        log("SetStreamSource", stream, buffer, offset, stride);
        return inner.SetStreamSource(stream, buffer, offset, stride);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override
    {
        log("SetIndices", indices);
        return inner.SetIndices(indices);
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override
    {
        log("DrawPrimitive", type, start, count);
        return inner.DrawPrimitive(type, start, count);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex,
        UINT vertexCount, UINT start, UINT count) override
    {
        log("DrawIndexedPrimitive", type, base, minIndex, vertexCount, start, count);
        return inner.DrawIndexedPrimitive(type, base, minIndex, vertexCount, start, count);
    }
    HRESULT EvictManagedResources() override
    {
        log("EvictManagedResources");
        return inner.EvictManagedResources();
    }
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override
    {
        log("Reset");
        return inner.Reset(params);
    }

private:
    template <class T>
    static void write(std::ostringstream& line, const T& value)
    {
        if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
            line << (value ? "ptr" : "null");
        else if constexpr (std::is_enum_v<T>)
            line << static_cast<std::underlying_type_t<T>>(value);
        else
            line << value;
    }

    template <class... Arguments>
    void log(const char* name, const Arguments&... arguments)
    {
        std::ostringstream line;
        line << name;
        ((line << ' ', write(line, arguments)), ...);
        calls.push_back(line.str());
    }

    IDirect3DDevice9& inner;
    ULONG count = 1;
};

} // namespace tincrates::testing

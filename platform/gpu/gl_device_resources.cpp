// The GL device: creating resources, and the Direct3D 9 state it keeps (render, texture-stage
// and sampler states, transforms, material, lights, textures, state blocks, streams).
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_internal_references.h"

#include "platform/gpu/gl_buffer.h"
#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_state_block.h"
#include "platform/gpu/gl_surface.h"
#include "platform/gpu/gl_texture.h"
#include "platform/image/decoded_image.h"
#include "platform/window/window.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include "platform/gpu/gl_device_translation.h"

namespace tincrates::gl {

HRESULT GlDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
    D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    useContext();
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (isReleased || sharedHandle || width == 0 || height == 0
        || width > maxImageSide || height > maxImageSide)
        return D3DERR_INVALIDCALL;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8)
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    try {
        *texture = new GlTexture(*this, width, height, levels, usage, format, pool);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD, D3DPOOL,
    IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle)
{
    useContext();
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (isReleased || sharedHandle || length == 0)
        return D3DERR_INVALIDCALL;
    try {
        *buffer = new GlVertexBuffer(*this, length, usage);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL,
    IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle)
{
    useContext();
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (isReleased || sharedHandle || length == 0
        || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    try {
        *buffer = new GlIndexBuffer(*this, length, usage, format);
    } catch (const std::string&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

HRESULT GlDevice::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
    D3DPOOL pool, IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (isReleased || sharedHandle || width == 0 || height == 0
        || width > maxImageSide || height > maxImageSide
        || (pool != D3DPOOL_SYSTEMMEM && pool != D3DPOOL_SCRATCH)
        || (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
        return D3DERR_INVALIDCALL;
    *surface = new GlSurface(*this, GlSurface::Kind::SystemMemory, width, height, format);
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE renderState, DWORD value)
{
    if (renderState >= D3DRS_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordRenderState(renderState, value);
    else
        state.renderStates[renderState] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetRenderState(D3DRENDERSTATETYPE renderState, DWORD* value)
{
    if (renderState >= D3DRS_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.renderStates[renderState];
    return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= DWORD(stageCount) || type >= D3DTSS_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordStageState(stage, type, value);
    else
        state.stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (stage >= DWORD(stageCount) || type >= D3DTSS_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.stageStates[stage][type];
    return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= DWORD(stageCount) || type >= D3DSAMP_STATE_COUNT)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordSamplerState(sampler, type, value);
    else
        state.samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT GlDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (sampler >= DWORD(stageCount) || type >= D3DSAMP_STATE_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = state.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE transform, const D3DMATRIX* matrix)
{
    int slot = transformSlot(transform);
    if (slot < 0 || !matrix)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordTransform(slot, *matrix);
    else
        state.transforms[slot] = *matrix;
    return D3D_OK;
}

HRESULT GlDevice::GetTransform(D3DTRANSFORMSTATETYPE transform, D3DMATRIX* matrix)
{
    int slot = transformSlot(transform);
    if (slot < 0 || !matrix)
        return D3DERR_INVALIDCALL;
    *matrix = state.transforms[slot];
    return D3D_OK;
}

HRESULT GlDevice::SetMaterial(const D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordMaterial(*material);
    else
        state.material = *material;
    return D3D_OK;
}

HRESULT GlDevice::GetMaterial(D3DMATERIAL9* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = state.material;
    return D3D_OK;
}

HRESULT GlDevice::SetLight(DWORD index, const D3DLIGHT9* light)
{
    if (!light)
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordLight(index, *light);
    else
        state.lights[index].light = *light;
    return D3D_OK;
}

HRESULT GlDevice::GetLight(DWORD index, D3DLIGHT9* light)
{
    auto found = state.lights.find(index);
    if (!light || found == state.lights.end())
        return D3DERR_INVALIDCALL;
    *light = found->second.light;
    return D3D_OK;
}

HRESULT GlDevice::LightEnable(DWORD index, BOOL enable)
{
    if (recording) {
        recording->recordLightEnable(index, enable != FALSE);
        return D3D_OK;
    }
    auto [slot, isNew] = state.lights.try_emplace(index);
    if (isNew)
        slot->second.light = defaultLight();
    slot->second.isEnabled = enable != FALSE;
    return D3D_OK;
}

HRESULT GlDevice::GetLightEnable(DWORD index, BOOL* enable)
{
    auto found = state.lights.find(index);
    if (!enable || found == state.lights.end())
        return D3DERR_INVALIDCALL;
    *enable = found->second.isEnabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    useContext();
    if (stage >= DWORD(stageCount))
        return D3DERR_INVALIDCALL;
    if (recording)
        recording->recordTexture(stage, texture);
    else
        replaceHeld(state.textures[stage], texture);
    return D3D_OK;
}

HRESULT GlDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (stage >= DWORD(stageCount) || !texture)
        return D3DERR_INVALIDCALL;
    *texture = state.textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT GlDevice::BeginStateBlock()
{
    if (recording || isReleased)
        return D3DERR_INVALIDCALL;
    recording = new GlStateBlock(*this);
    return D3D_OK;
}

HRESULT GlDevice::EndStateBlock(IDirect3DStateBlock9** stateBlock)
{
    if (!stateBlock || !recording)
        return D3DERR_INVALIDCALL;
    *stateBlock = recording;
    recording = nullptr;
    return D3D_OK;
}

HRESULT GlDevice::SetFVF(DWORD fvf)
{
    if (recording)
        recording->recordFvf(fvf);
    else
        state.fvf = fvf;
    return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
    UINT stride)
{
    useContext();
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    if (recording) {
        recording->recordStream(buffer, offset, stride);
        return D3D_OK;
    }
    replaceHeld(state.streamBuffer, buffer);
    state.streamOffset = offset;
    state.streamStride = stride;
    return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer9* indices)
{
    useContext();
    if (recording)
        recording->recordIndices(indices);
    else
        replaceHeld(state.indices, indices);
    return D3D_OK;
}

HRESULT GlDevice::EvictManagedResources()
{
    // GL keeps managed textures and buffers by itself; there is nothing to drop.
    return D3D_OK;
}

} // namespace tincrates::gl

// Module-internal to the GL back-end: IDirect3DStateBlock9 as recorded between BeginStateBlock
// and EndStateBlock. It holds a reference to every texture and buffer it recorded.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_device_state.h"
#include "platform/gpu/gl_resource.h"

namespace tincrates::gl {

class GlDevice;

class GlStateBlock final : public GlResource<GlStateBlock, IDirect3DStateBlock9> {
public:
    explicit GlStateBlock(GlDevice& device);
    GlStateBlock(const GlStateBlock&) = delete;
    GlStateBlock& operator=(const GlStateBlock&) = delete;

    HRESULT Apply() override;

    // Recording, called by the device's Set operations while this block records.
    void recordRenderState(D3DRENDERSTATETYPE state, DWORD value);
    void recordStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    void recordSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
    void recordTransform(int slot, const D3DMATRIX& matrix);
    void recordMaterial(const D3DMATERIAL9& material);
    void recordLight(DWORD index, const D3DLIGHT9& light);
    void recordLightEnable(DWORD index, bool isEnabled);
    void recordTexture(DWORD stage, IDirect3DBaseTexture9* texture);
    void recordFvf(DWORD fvf);
    void recordStream(IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);
    void recordIndices(IDirect3DIndexBuffer9* indices);

private:
    friend class GlResource<GlStateBlock, IDirect3DStateBlock9>;
    ~GlStateBlock();

    DeviceState values;
    StateMask mask;
};

} // namespace tincrates::gl

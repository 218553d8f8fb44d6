// State blocks: recorded values replayed through the device's own Set operations.
#include "platform/gpu/gl_state_block.h"

#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_internal_references.h"

namespace tincrates::gl {

GlStateBlock::GlStateBlock(GlDevice& device)
    : GlResource(device)
{
    device.resourceCreated();
}

GlStateBlock::~GlStateBlock()
{
    for (auto*& texture : values.textures)
        replaceHeld(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    replaceHeld(values.streamBuffer, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    replaceHeld(values.indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
}

void GlStateBlock::recordRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    values.renderStates[state] = value;
    mask.renderStates.set(state);
}

void GlStateBlock::recordStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    values.stageStates[stage][type] = value;
    mask.stageStates[stage].set(type);
}

void GlStateBlock::recordSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    values.samplerStates[sampler][type] = value;
    mask.samplerStates[sampler].set(type);
}

void GlStateBlock::recordTransform(int slot, const D3DMATRIX& matrix)
{
    values.transforms[slot] = matrix;
    mask.transforms.set(slot);
}

void GlStateBlock::recordMaterial(const D3DMATERIAL9& material)
{
    values.material = material;
    mask.material = true;
}

void GlStateBlock::recordLight(DWORD index, const D3DLIGHT9& light)
{
    values.lights[index].light = light;
    mask.lights[index] = true;
}

void GlStateBlock::recordLightEnable(DWORD index, bool isEnabled)
{
    values.lights[index].isEnabled = isEnabled;
    mask.lightEnables[index] = true;
}

void GlStateBlock::recordTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    replaceHeld(values.textures[stage], texture);
    mask.textures.set(stage);
}

void GlStateBlock::recordFvf(DWORD fvf)
{
    values.fvf = fvf;
    mask.fvf = true;
}

void GlStateBlock::recordStream(IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride)
{
    replaceHeld(values.streamBuffer, buffer);
    values.streamOffset = offset;
    values.streamStride = stride;
    mask.stream = true;
}

void GlStateBlock::recordIndices(IDirect3DIndexBuffer9* indices)
{
    replaceHeld(values.indices, indices);
    mask.indices = true;
}

HRESULT GlStateBlock::Apply()
{
    for (DWORD state = 0; state < D3DRS_STATE_COUNT; ++state)
        if (mask.renderStates.test(state))
            device.SetRenderState(D3DRENDERSTATETYPE(state), values.renderStates[state]);
    for (DWORD stage = 0; stage < DWORD(stageCount); ++stage) {
        for (DWORD type = 0; type < D3DTSS_STATE_COUNT; ++type)
            if (mask.stageStates[stage].test(type))
                device.SetTextureStageState(
                    stage, D3DTEXTURESTAGESTATETYPE(type), values.stageStates[stage][type]);
        for (DWORD type = 0; type < D3DSAMP_STATE_COUNT; ++type)
            if (mask.samplerStates[stage].test(type))
                device.SetSamplerState(
                    stage, D3DSAMPLERSTATETYPE(type), values.samplerStates[stage][type]);
        if (mask.textures.test(stage))
            device.SetTexture(stage, values.textures[stage]);
    }
    for (int slot = 0; slot < transformSlotCount; ++slot)
        if (mask.transforms.test(slot))
            device.SetTransform(transformOfSlot(slot), &values.transforms[slot]);
    if (mask.material)
        device.SetMaterial(&values.material);
    for (const auto& [index, isRecorded] : mask.lights)
        device.SetLight(index, &values.lights[index].light);
    for (const auto& [index, isRecorded] : mask.lightEnables)
        device.LightEnable(index, values.lights[index].isEnabled);
    if (mask.fvf)
        device.SetFVF(values.fvf);
    if (mask.stream)
        device.SetStreamSource(0, values.streamBuffer, values.streamOffset, values.streamStride);
    if (mask.indices)
        device.SetIndices(values.indices);
    return D3D_OK;
}

} // namespace tincrates::gl

// Materials on the device: the Direct3D material set at every apply, and one recorded state
// block for everything that does not change after loading.
#include "assets/material.h"

#include "assets/texture.h"
#include "platform/gpu/shared_device.h"

namespace tincrates {

namespace {

D3DCOLORVALUE colourValue(const Colour& colour, float alpha)
{
    return {colour.r, colour.g, colour.b, alpha};
}

// Binds `texture` to `stage`, addressed with wrapping so that coordinates outside 0..1 tile.
void recordStageTexture(IDirect3DDevice9& device, DWORD stage, const Texture& texture)
{
    device.SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device.SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    device.SetTexture(stage, texture.texture);
}

} // namespace

Material::~Material()
{
    if (stateBlock)
        stateBlock->Release();
}

void Material::apply(bool withAmbientEmissive, bool withDiffuseSpecular)
{
    IDirect3DDevice9* device = sharedDevice();
    if (!device)
        return;

    D3DMATERIAL9 deviceMaterial{};
    if (withAmbientEmissive) {
        deviceMaterial.Ambient = colourValue(ambient, 0.0f);
        deviceMaterial.Emissive = colourValue(emissive, 0.0f);
    }
    if (withDiffuseSpecular) {
        deviceMaterial.Diffuse = colourValue(diffuse, diffuse.a);
        deviceMaterial.Specular = {specular.r * shininess, specular.g * shininess,
            specular.b * shininess, 0.0f};
        deviceMaterial.Power = power;
    }
    device->SetMaterial(&deviceMaterial);

    if (!stateBlock)
        recordStateBlock();
    if (stateBlock)
        stateBlock->Apply();
}

void Material::recordStateBlock()
{
    IDirect3DDevice9* device = sharedDevice();
    if (!device)
        return;

    device->BeginStateBlock();
    // Factors that leave the target as if unblended are not recorded, and blending stays off.
    bool isBlended = srcBlend != D3DBLEND_ONE || dstBlend != D3DBLEND_ZERO;
    if (isBlended) {
        device->SetRenderState(D3DRS_SRCBLEND, srcBlend);
        device->SetRenderState(D3DRS_DESTBLEND, dstBlend);
    }
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, isBlended ? TRUE : FALSE);
    device->SetRenderState(D3DRS_CULLMODE, cullMode);
    // The production's look has no specular highlights, whatever a file asks for.
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, zMode);
    device->SetRenderState(D3DRS_ZWRITEENABLE, zWrite ? TRUE : FALSE);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu);

    DWORD stage = 0;
    if (texture) {
        // Base texture: modulates the lit colour, and its alpha the lit alpha.
        device->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        recordStageTexture(*device, stage, *texture);
        ++stage;
    }
    if (envmap) {
        // Environment texture: added by camera-space reflection, keeping the alpha before it.
        device->SetTextureStageState(
            stage, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
        device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_ADD);
        device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        recordStageTexture(*device, stage, *envmap);
        ++stage;
    }
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTexture(stage, nullptr);

    IDirect3DStateBlock9* recorded = nullptr;
    if (device->EndStateBlock(&recorded) >= 0)
        stateBlock = recorded;
}

void destroyManagedAsset(Material* material)
{
    delete material;
}

} // namespace tincrates

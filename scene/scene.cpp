// Turning a scene into fixed-function device state and draws.
#include "scene/scene.h"

#include "platform/gpu/d3d9.h"
#include "platform/gpu/shared_device.h"

#include <cstring>

namespace tincrates {

namespace {

// Lights the device is told about explicitly; the rest are switched off so that lights of an
// earlier scene or pass do not linger.
constexpr uint32_t lightSlotCount = 8;

DWORD bitsOf(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void Scene::render(uint32_t cameraIndex, bool clear)
{
    IDirect3DDevice9* device = sharedDevice();
    if (!device)
        return;
    if (clear)
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f,
            0);
    device->SetRenderState(D3DRS_AMBIENT, packColour(ambient));
    device->SetRenderState(D3DRS_LIGHTING, lights.empty() ? FALSE : TRUE);
    device->SetRenderState(D3DRS_FOGENABLE, fogEnabled ? TRUE : FALSE);
    if (fogEnabled) {
        device->SetRenderState(D3DRS_FOGCOLOR, packColour(fogColour));
        device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
        device->SetRenderState(D3DRS_FOGSTART, bitsOf(fogStart));
        device->SetRenderState(D3DRS_FOGEND, bitsOf(fogEnd));
    }
    if (cameraIndex < cameras.size())
        cameras[cameraIndex]->apply();

    uint32_t lightIndex = 0;
    for (Light* light : lights)
        light->applyLight(lightIndex++);
    for (uint32_t slot = lightIndex; slot < lightSlotCount; ++slot)
        device->LightEnable(slot, FALSE);

    for (SceneObject* object : objects)
        object->draw();

    // Whatever is drawn after the scene (overlays) must not be fogged.
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
}

void destroyManagedAsset(Scene* scene) { delete scene; }

} // namespace tincrates

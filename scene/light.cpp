// Handing a scene light to the device.
#include "scene/light.h"

#include "platform/gpu/d3d9.h"
#include "platform/gpu/shared_device.h"

#include <cmath>
#include <limits>

namespace tincrates {

namespace {

D3DCOLORVALUE opaqueless(const Colour& c) { return {c.r, c.g, c.b, 0.0f}; }

} // namespace

void Light::applyLight(uint32_t index)
{
    Vector3 position = translationOf(worldMatrix());
    deviceLight = D3DLIGHT9{};
    deviceLight.Type = D3DLIGHT_POINT;
    deviceLight.Diffuse = opaqueless(diffuse);
    deviceLight.Ambient = opaqueless(ambient);
    deviceLight.Position = {position.x, position.y, position.z};
    // The largest range Direct3D accepts: the light reaches everything.
    deviceLight.Range = std::sqrt(std::numeric_limits<float>::max());
    // Constant attenuation only, so the light does not fade with distance.
    deviceLight.Attenuation0 = 1.0f;

    if (IDirect3DDevice9* device = sharedDevice()) {
        device->SetLight(index, &deviceLight);
        device->LightEnable(index, TRUE);
    }
}

} // namespace tincrates

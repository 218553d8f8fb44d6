// Drawing one scene object.
#include "scene/scene_object.h"

#include "platform/gpu/d3d9.h"
#include "platform/gpu/d3d9_matrix.h"
#include "platform/gpu/shared_device.h"
#include "scene/mesh.h"

namespace tincrates {

void SceneObject::draw()
{
    IDirect3DDevice9* device = sharedDevice();
    if (!mesh || !visible || !device)
        return;
    Matrix4 world = multiply(pivot, worldMatrix());
    device->SetTransform(D3DTS_WORLD, asD3dMatrix(world));
    mesh->draw();
}

} // namespace tincrates

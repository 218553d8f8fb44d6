// Camera view and projection.
#include "scene/camera.h"

#include "platform/gpu/d3d9.h"
#include "platform/gpu/d3d9_matrix.h"
#include "platform/gpu/shared_device.h"

namespace tincrates {

Matrix4 Camera::localMatrix() const
{
    Vector3 targetPoint = target ? translationOf(target->worldMatrix()) : Vector3{0, 0, 0};
    return lookAt(transform.position, targetPoint, roll);
}

void Camera::apply()
{
    IDirect3DDevice9* device = sharedDevice();
    if (!device)
        return;
    Matrix4 projection = perspectiveFov(fieldOfView, aspect, nearPlane, farPlane);
    Matrix4 view = worldMatrix();
    device->SetTransform(D3DTS_PROJECTION, asD3dMatrix(projection));
    device->SetTransform(D3DTS_VIEW, asD3dMatrix(view));
}

} // namespace tincrates

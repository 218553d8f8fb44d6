// A camera: a node whose local matrix is the view from its position towards a target node.
#pragma once

#include "scene/scene_node.h"

namespace tincrates {

class Camera : public SceneNode {
public:
    // `parent` is not owned; null for a top-level camera. The creator sets the fields below.
    explicit Camera(SceneNode* parent = nullptr) : SceneNode(parent) {}

    // The view matrix: lookAt from transform.position towards the target's world position,
    // or towards the origin when there is no target, turned by `roll`. Rotation and scale of
    // the transform are not used.
    Matrix4 localMatrix() const override;

    // Sets the shared device's projection from the lens fields and its view from
    // worldMatrix(). Does nothing when no device is published.
    virtual void apply();

    float fieldOfView = 60.0f; // vertical, degrees
    float aspect = 4.0f / 3.0f; // width / height
    float nearPlane = 1.0f;
    float farPlane = 2000.0f;
    SceneNode* target = nullptr; // not owned
    float roll = 0.0f; // radians about the viewing direction
};

} // namespace tincrates

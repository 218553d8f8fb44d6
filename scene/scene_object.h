// A scene node that draws a mesh; without a mesh it only groups the nodes below it.
#pragma once

#include "scene/scene_node.h"

namespace tincrates {

class Mesh;

class SceneObject : public SceneNode {
public:
    // `mesh` and `parent` are not owned; either may be null.
    explicit SceneObject(Mesh* mesh = nullptr, SceneNode* parent = nullptr)
        : SceneNode(parent), mesh(mesh) {}

    // Sets the shared device's world transform to pivot × worldMatrix() and draws the mesh.
    // Does nothing without a mesh or when not visible; nested objects are drawn on their own.
    // Passes on the mesh's text errors (buffer creation at the first draw).
    void draw();

    bool visible = true;
    Mesh* mesh; // not owned: the mesh manager holds it
    // Placement of the mesh inside the object, applied before the object's own transform.
    // Nested nodes do not see it.
    Matrix4 pivot = identity();
};

} // namespace tincrates

// World placement through the parent chain.
#include "scene/scene_node.h"

namespace tincrates {

Matrix4 SceneNode::localMatrix() const { return transformMatrix(transform); }

Matrix4 SceneNode::worldMatrix() const
{
    Matrix4 world = localMatrix();
    for (const SceneNode* ancestor = parent; ancestor; ancestor = ancestor->parent)
        world = multiply(world, ancestor->localMatrix());
    return world;
}

} // namespace tincrates

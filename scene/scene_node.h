// The base of everything placed in the scene: a transform and an optional parent whose
// transform carries this node along.
#pragma once

#include "math/vector_math.h"

namespace tincrates {

class SceneNode {
public:
    // `parent` is not owned and must outlive this node; null for a top-level node.
    explicit SceneNode(SceneNode* parent = nullptr) : parent(parent) {}
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;
    virtual ~SceneNode() = default;

    // This node's placement relative to its parent: transformMatrix(transform).
    virtual Matrix4 localMatrix() const;

    // localMatrix() followed by the local matrix of each ancestor in turn, up to the top-level
    // node. Recomputed at every call, so fields written between frames take effect at once.
    Matrix4 worldMatrix() const;

    Transform transform;
    SceneNode* parent; // not owned
};

} // namespace tincrates

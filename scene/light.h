// A point light of the scene: colours, and a position that follows its parents.
#pragma once

#include "platform/gpu/d3d9_types.h"
#include "scene/scene_node.h"

namespace tincrates {

class Light : public SceneNode {
public:
    // `parent` is not owned; null for a top-level light.
    explicit Light(SceneNode* parent = nullptr) : SceneNode(parent) {}

    // Fills `deviceLight` as a point light at this light's world position with no fall-off,
    // hands it to the shared device (when one is published) at `index` and enables it there.
    void applyLight(uint32_t index);

    Colour ambient{0.05f, 0.05f, 0.05f, 1.0f};
    Colour diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    // Kept as read from the scene file; scene lights never give specular highlights.
    Colour specular{0.0f, 0.0f, 0.0f, 1.0f};
    // What the last applyLight() handed to the device.
    D3DLIGHT9 deviceLight{};
};

} // namespace tincrates

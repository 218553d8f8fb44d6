// Everything drawn in 3D: the objects, cameras and lights of one scene, with its ambient
// light and fog, and the drawing of it all.
#pragma once

#include "scene/camera.h"
#include "scene/light.h"
#include "scene/scene_object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tincrates {

class Scene {
public:
    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Draws the scene with cameras[cameraIndex] on the shared device, between the caller's
    // BeginScene and EndScene. With `clear`, colour, depth and stencil are cleared first. An
    // index beyond the cameras leaves the device's view and projection as they were. Fog is off
    // afterwards. Does nothing when no device is published. Passes on a mesh's text errors.
    void render(uint32_t cameraIndex, bool clear);

    // Makes the scene the owner of `node`, which is freed with it, and returns the node. Nodes
    // appended to the lists without this (such as a caller's own camera) stay the caller's.
    template <class Node>
    Node* adopt(std::unique_ptr<Node> node)
    {
        Node* result = node.get();
        ownedNodes.push_back(std::move(node));
        return result;
    }

    // The lists own nothing through their entries. `objects` is in scene-file pre-order, so a
    // caller may address objects by index.
    std::vector<SceneObject*> objects;
    std::vector<Camera*> cameras;
    std::vector<Light*> lights;
    Colour ambient{0.1f, 0.1f, 0.1f, 1.0f};
    bool fogEnabled = false;
    Colour fogColour{0.0f, 0.0f, 0.0f, 1.0f};
    float fogStart = 0.0f; // distances from the viewer
    float fogEnd = 1000.0f;

    // The mesh files its objects name, once each in first-use order; read by the scene manager.
    std::vector<std::string> meshNames;

private:
    std::vector<std::unique_ptr<SceneNode>> ownedNodes;
};

// Frees a scene whose last manager count has gone; used by the scene manager.
void destroyManagedAsset(Scene* scene);

} // namespace tincrates

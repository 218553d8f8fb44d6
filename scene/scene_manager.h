// Shared scenes by scene file name, and the reader of the XML scene file.
#pragma once

#include "assets/resource_manager.h"
#include "scene/mesh_manager.h"
#include "scene/scene.h"

#include <string>

namespace tincrates {

// Hands out one Scene per file name. The meshes its scenes name come from the MeshManager held
// here, which gives them back (with their materials and textures) before the scenes go.
class SceneManager final : public ResourceManager<Scene> {
public:
    SceneManager() = default;
    ~SceneManager() = default;

    MeshManager meshes; // the meshes named by this manager's scenes

protected:
    // Reads the named XML scene file into a new scene that owns the objects and lights it
    // creates. Throws "File not found" (see readXmlText), "line %i: %s" for XML errors,
    // "line %i: elements nested too deeply" for a hierarchy deeper than the reader follows, or
    // a mesh manager's failure text. Nothing built so far is kept after a failure.
    Scene* load(const std::string& name) override;
    // Takes the meshes of a scene that another manager loaded.
    void holdSubAssets(Scene* scene) override;
};

} // namespace tincrates

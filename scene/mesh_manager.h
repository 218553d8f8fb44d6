// Shared meshes by MESH1 file name.
#pragma once

#include "assets/material_manager.h"
#include "assets/resource_manager.h"
#include "scene/mesh.h"

#include <map>
#include <string>
#include <vector>

namespace tincrates {

// Hands out one Mesh per file name. Group materials come from the MaterialManager held here,
// which gives them back (with their textures) before the meshes go.
class MeshManager final : public ResourceManager<Mesh> {
public:
    MeshManager() = default;
    ~MeshManager() = default;

    MaterialManager materials; // the materials named by this manager's meshes

protected:
    // Reads the named MESH1 file (no buffers are made yet). Throws "File not found" (with the
    // archive's reason on a further line when it has one, see notFoundMessage), "Not a
    // MESH1-file", a truncation or bad-index text, or a material manager's failure text.
    Mesh* load(const std::string& name) override;
    // Takes the materials of a mesh that another manager loaded.
    void holdSubAssets(Mesh* mesh) override;

private:
    // The material name of each group of each loaded mesh, in group order.
    static inline std::map<const Mesh*, std::vector<std::string>> materialNames;
};

} // namespace tincrates

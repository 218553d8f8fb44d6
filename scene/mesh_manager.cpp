// Meshes by name: MESH1 files read through the data files, their materials through the
// material manager.
#include "scene/mesh_manager.h"

#include "datafiles/data_file.h"
#include "scene/mesh1_file.h"

#include <memory>
#include <string_view>
#include <vector>

namespace tincrates {

void MeshManager::holdSubAssets(Mesh* mesh)
{
    for (const std::string& materialName : materialNames[mesh])
        materials.get(materialName);
}

Mesh* MeshManager::load(const std::string& name)
{
    std::string archiveProblem;
    std::unique_ptr<DataFile, int (*)(DataFile*)> file(
        openDataFile(name.c_str(), &archiveProblem), closeDataFile);
    if (!file)
        throw notFoundMessage("File not found", archiveProblem);

    // Each group's material is fetched as its name is read, in the file's order.
    std::vector<Material*> groupMaterials;
    MeshData data = decodeMesh1(
        std::string_view(reinterpret_cast<const char*>(file->data), file->size),
        [&](const std::string& material) { groupMaterials.push_back(materials.get(material)); });

    auto mesh = std::make_unique<Mesh>();
    mesh->vertices = std::move(data.vertices);
    std::vector<std::string> names;
    for (size_t i = 0; i < data.groups.size(); ++i) {
        MeshGroup group;
        group.material = groupMaterials[i];
        group.indices = std::move(data.groups[i].indices);
        names.push_back(std::move(data.groups[i].material));
        mesh->groups.push_back(std::move(group));
    }
    // Keyed by address: a later mesh at the same address is registered here afresh.
    materialNames[mesh.get()] = std::move(names);
    return mesh.release();
}

} // namespace tincrates

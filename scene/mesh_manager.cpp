// The MESH1 file reader.
#include "scene/mesh_manager.h"

namespace tincrates {

Mesh* MeshManager::load(const std::string&)
{
    throw std::string("File not found");
}

} // namespace tincrates

// An input as a MESH1 file, loaded through the mesh manager (which also loads the materials
// its groups name, when they exist).
#include "fuzz/fuzz_target.h"
#include "scene/mesh_manager.h"

TINCRATES_FUZZ_TARGET(mesh_file)
{
    tincrates::fuzz::enterWorkFolder();
    tincrates::fuzz::writeWorkFile("data/fuzz.mesh", input);
    tincrates::MeshManager meshes;
    try {
        meshes.get("fuzz.mesh");
    } catch (const std::string&) {
    }
}

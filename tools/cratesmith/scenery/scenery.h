// The production's scene: "voltcrate.scene", its meshes and their materials.
#pragma once

namespace tincrates::cratesmith {

class DataFolder;

// Writes "voltcrate.scene", every mesh it names and every material those meshes name.
void makeScenery(DataFolder& data);

} // namespace tincrates::cratesmith

// The production's procedural images: metal textures, the environment map and the plain
// overlay images.
#pragma once

namespace tincrates::cratesmith {

class DataFolder;

// Writes every texture the materials name, "envmap.png", "white.png" and "black.png".
void makeTextures(DataFolder& data);

} // namespace tincrates::cratesmith

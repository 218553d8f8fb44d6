// The production's procedural images: metal textures, the environment map and the plain
// overlay images.
#pragma once

#include "tools/cratesmith/pictures/image.h"

namespace tincrates::cratesmith {

class DataFolder;

// The crate faces the production's textures hold, 1024 × 1024: the lead crate's (red stencil,
// hazard band), as "leadtin.png", and the stacked crates' (arrows), as "tinplate.png".
Image leadCrateFace();
Image stackedCrateFace();

// Writes every texture the materials name, "envmap.png", "white.png" and "black.png".
void makeTextures(DataFolder& data);

} // namespace tincrates::cratesmith

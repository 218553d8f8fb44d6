// Crates: bevelled tin boxes, plain for the stacks or detailed with panels, rivets and
// corner brackets for the crates the camera comes close to.
#pragma once

#include "tools/cratesmith/meshes/mesh_builder.h"

#include <string>

namespace tincrates::cratesmith {

struct CrateLook {
    float edge = 10;           // outer edge length, bevels included
    float bevel = 0.6f;        // width of the folded edges; 0: a plain box
    std::string body;          // material of the tin faces and their folds
    std::string brackets;      // corner brackets and rivets; empty: none (a plain crate)
    std::string edgeLights;    // glowing bars along the folds; empty: none
};

// Adds a crate centred on the origin, then moves it by `placement` (no scaling).
void addCrate(MeshBuilder& builder, const CrateLook& look, const Matrix4& placement);

} // namespace tincrates::cratesmith

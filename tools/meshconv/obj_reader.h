// Wavefront OBJ text to a mesh of MESH1 groups.
#pragma once

#include "scene/mesh1_file.h"

#include <string>
#include <string_view>

namespace tincrates::meshconv {

// Converts OBJ text: "v", "vt", "vn" and "f" lines (polygons become fans of triangles,
// negative indices count back from the last element), and each "usemtl NAME" starts a group
// drawn with the material file NAME (all faces of one name form one group); faces before any
// "usemtl" use `defaultMaterial`. Every
// distinct position/coordinate/normal triple becomes one vertex. OBJ is right-handed with v
// upwards, the engine left-handed with v downwards, so z is negated, each triangle's order is
// reversed and v becomes 1 - v; faces without normals get their flat face normal. Other
// statements are ignored.
// Throws "line N: " + what is wrong, or a text when the mesh exceeds the format's limits.
MeshData readObj(std::string_view text, const std::string& defaultMaterial);

} // namespace tincrates::meshconv

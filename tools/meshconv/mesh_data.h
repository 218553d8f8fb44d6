// A mesh as the MESH1 format stores it, without any device: what meshconv writes and reads.
#pragma once

#include "scene/mesh.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates::meshconv {

struct MeshGroupData {
    std::string material;          // the material file name the group is drawn with
    std::vector<uint16_t> indices; // three per triangle
};

struct MeshData {
    std::vector<MeshVertex> vertices;
    std::vector<MeshGroupData> groups;
};

// The MESH1 bytes of `mesh`. Throws a text when a count or a name cannot be stored.
std::string encodeMesh1(const MeshData& mesh);

// Reads MESH1 bytes with the engine's rules (colours become opaque white, bytes after the last
// group are ignored). Throws "Not a MESH1-file", "Truncated MESH1-file" or
// "Vertex index out of range: " + index.
MeshData decodeMesh1(std::string_view bytes);

// A few lines describing `mesh`: counts, bounds and each group's material and index range.
std::string describeMesh(const MeshData& mesh);

} // namespace tincrates::meshconv

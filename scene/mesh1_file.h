// A mesh as the MESH1 format stores it, without any device: the engine's mesh loader and the
// tools (meshconv, the generator) read and write the format through these two functions.
#pragma once

#include "scene/mesh.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates {

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
// group are ignored). `onMaterialName`, when given, is called with each group's material name
// as soon as it is read, before the group's indices, so that a loader fetches materials in the
// file's order and a failure to load one is reported before any later fault of the file.
// Throws "Not a MESH1-file", "Truncated MESH1-file" or "Vertex index out of range: " + index.
MeshData decodeMesh1(std::string_view bytes,
                     const std::function<void(const std::string&)>& onMaterialName = {});

} // namespace tincrates

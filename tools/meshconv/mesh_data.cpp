// A readable summary of a MESH1 mesh.
#include "tools/meshconv/mesh_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tincrates::meshconv {

namespace {

// "1 triangle", "12 triangles".
std::string counted(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string describeMesh(const MeshData& mesh)
{
    size_t triangles = 0;
    for (const MeshGroupData& group : mesh.groups)
        triangles += group.indices.size() / 3;
    char line[256];
    std::string text = counted(mesh.vertices.size(), "vertex", "vertices") + ", "
        + counted(mesh.groups.size(), "group", "groups") + ", "
        + counted(triangles, "triangle", "triangles") + "\n";
    if (!mesh.vertices.empty()) {
        MeshVertex low = mesh.vertices.front(), high = low;
        for (const MeshVertex& v : mesh.vertices) {
            low.x = std::min(low.x, v.x), high.x = std::max(high.x, v.x);
            low.y = std::min(low.y, v.y), high.y = std::max(high.y, v.y);
            low.z = std::min(low.z, v.z), high.z = std::max(high.z, v.z);
        }
        std::snprintf(line, sizeof line, "bounds (%g, %g, %g) to (%g, %g, %g)\n", low.x, low.y,
            low.z, high.x, high.y, high.z);
        text += line;
    }
    for (size_t i = 0; i < mesh.groups.size(); ++i) {
        const MeshGroupData& group = mesh.groups[i];
        text += "group " + std::to_string(i) + ": " + counted(group.indices.size() / 3, "triangle", "triangles");
        if (!group.indices.empty()) {
            auto [low, high] = std::minmax_element(group.indices.begin(), group.indices.end());
            std::snprintf(
                line, sizeof line, ", vertices %u to %u", unsigned(*low), unsigned(*high));
            text += line;
        }
        text += ", material \"" + group.material + "\"\n";
    }
    return text;
}

} // namespace tincrates::meshconv

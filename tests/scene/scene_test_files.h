// Small MESH1 meshes and material files written by the scene tests into their scratch folder.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tincrates::testing {

struct MeshFileVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float u, v;
};

struct MeshFileGroup {
    std::string material;
    std::vector<uint16_t> indices;
};

template <class T>
void appendBytes(std::string& out, const T& value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// The bytes of a MESH1 file (little-endian, as this machine is).
inline std::string meshFile(
    const std::vector<MeshFileVertex>& vertices, const std::vector<MeshFileGroup>& groups)
{
    std::string out = "MESH1";
    appendBytes(out, uint32_t(vertices.size()));
    for (const MeshFileVertex& vertex : vertices)
        appendBytes(out, vertex);
    appendBytes(out, uint32_t(groups.size()));
    for (const MeshFileGroup& group : groups) {
        out += group.material;
        out += '\0';
        appendBytes(out, uint32_t(group.indices.size() / 3));
        for (uint16_t index : group.indices)
            appendBytes(out, index);
    }
    return out;
}

// A square of side 2 × halfSize in the z = 0 plane, facing -z, as two triangles drawn with
// `material`.
inline std::string squareMeshFile(const std::string& material, float halfSize = 1.0f)
{
    float s = halfSize;
    return meshFile({{-s, -s, 0, 0, 0, -1, 0, 0, 1}, {-s, s, 0, 0, 0, -1, 0, 0, 0},
                        {s, s, 0, 0, 0, -1, 0, 1, 0}, {s, -s, 0, 0, 0, -1, 0, 1, 1}},
        {{material, {0, 1, 2, 0, 2, 3}}});
}

// A material file: the given elements inside a root, with culling off so that either winding
// shows.
inline std::string materialFile(const std::string& elements)
{
    return "<material><cull mode=\"none\"/>" + elements + "</material>";
}

} // namespace tincrates::testing

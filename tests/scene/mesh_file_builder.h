// Builds MESH1 file bytes for tests: vertices, then groups of a material name and triangles.
#pragma once

#include "scene/mesh.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tincrates::testing {

struct MeshFileGroup {
    std::string material;
    std::vector<uint16_t> indices;
};

class MeshFileBuilder {
public:
    MeshFileBuilder& vertex(float x, float y, float z, uint32_t colour = 0x12345678, float u = 0,
        float v = 0, float nx = 0, float ny = 0, float nz = -1)
    {
        vertices.push_back({x, y, z, nx, ny, nz, colour, u, v});
        return *this;
    }

    MeshFileBuilder& group(const std::string& material, const std::vector<uint16_t>& indices)
    {
        groups.push_back({material, indices});
        return *this;
    }

    std::string bytes() const
    {
        std::string out = "MESH1";
        appendCount(out, uint32_t(vertices.size()));
        for (const MeshVertex& vertex : vertices)
            out.append(reinterpret_cast<const char*>(&vertex), sizeof vertex);
        appendCount(out, uint32_t(groups.size()));
        for (const MeshFileGroup& group : groups) {
            out += group.material;
            out += '\0';
            appendCount(out, uint32_t(group.indices.size() / 3));
            for (uint16_t index : group.indices) {
                out += char(index & 0xFF);
                out += char(index >> 8);
            }
        }
        return out;
    }

    static void appendCount(std::string& out, uint32_t count)
    {
        for (int shift = 0; shift < 32; shift += 8)
            out += char((count >> shift) & 0xFF);
    }

    std::vector<MeshVertex> vertices;
    std::vector<MeshFileGroup> groups;
};

} // namespace tincrates::testing

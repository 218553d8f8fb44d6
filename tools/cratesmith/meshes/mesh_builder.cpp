// Flat pieces into MESH1 groups.
#include "tools/cratesmith/meshes/mesh_builder.h"

#include "tools/cratesmith/meshes/geometry.h"

#include <stdexcept>
#include <utility>

namespace tincrates::cratesmith {

// Index 65535 cannot be drawn: a group's end index is kept in 16 bits.
constexpr size_t maxVertices = 65535;

void MeshBuilder::useMaterial(const std::string& material)
{
    for (size_t i = 0; i < mesh.groups.size(); ++i)
        if (mesh.groups[i].material == material) {
            group = i;
            hasGroup = true;
            return;
        }
    mesh.groups.push_back({material, {}});
    group = mesh.groups.size() - 1;
    hasGroup = true;
}

uint16_t MeshBuilder::addVertex(Vector3 p, Vector3 n, float u, float v)
{
    MeshVertex vertex{};
    vertex.x = p.x, vertex.y = p.y, vertex.z = p.z;
    vertex.nx = n.x, vertex.ny = n.y, vertex.nz = n.z;
    vertex.colour = 0xFFFFFFFFu;
    vertex.u = u, vertex.v = v;
    mesh.vertices.push_back(vertex);
    // Past the limit the index wraps; finish() reports it.
    return uint16_t(mesh.vertices.size() - 1);
}

void MeshBuilder::addTriangle(uint16_t a, uint16_t b, uint16_t c)
{
    if (!hasGroup)
        throw std::logic_error("MeshBuilder: a triangle before any material");
    auto& indices = mesh.groups[group].indices;
    indices.insert(indices.end(), {a, c, b}); // reversed for the mirrored view (see the header)
}

void MeshBuilder::addQuad(Vector3 a, Vector3 b, Vector3 c, Vector3 d, TexturePatch texture,
                          int cuts)
{
    Vector3 normal = normalise(cross(b - a, c - a) + cross(c - a, d - a));
    int side = cuts + 1;
    auto first = uint16_t(mesh.vertices.size());
    for (int j = 0; j <= cuts; ++j) {
        float t = float(j) / float(cuts);
        for (int i = 0; i <= cuts; ++i) {
            float s = float(i) / float(cuts);
            // Bilinear over the four corners, so trapezoids cut evenly too.
            Vector3 p = (a * (1 - s) + b * s) * (1 - t) + (d * (1 - s) + c * s) * t;
            const auto& uv = texture.corners;
            auto blend = [&](float TexturePoint::*part) {
                return (uv[0].*part * (1 - s) + uv[1].*part * s) * (1 - t)
                       + (uv[3].*part * (1 - s) + uv[2].*part * s) * t;
            };
            addVertex(p, normal, blend(&TexturePoint::u), blend(&TexturePoint::v));
        }
    }
    for (int j = 0; j < cuts; ++j)
        for (int i = 0; i < cuts; ++i) {
            auto corner = uint16_t(first + j * side + i);
            addTriangle(corner, uint16_t(corner + 1), uint16_t(corner + side + 1));
            addTriangle(corner, uint16_t(corner + side + 1), uint16_t(corner + side));
        }
}

void MeshBuilder::addTriangleFacing(Vector3 a, Vector3 b, Vector3 c, Vector3 outward,
                                    TexturePatch texture)
{
    if (dot(cross(b - a, c - a), outward) < 0) {
        std::swap(b, c);
        std::swap(texture.corners[1], texture.corners[2]);
    }
    Vector3 normal = normalise(cross(b - a, c - a));
    const auto& uv = texture.corners;
    uint16_t first = addVertex(a, normal, uv[0].u, uv[0].v);
    addVertex(b, normal, uv[1].u, uv[1].v);
    addVertex(c, normal, uv[2].u, uv[2].v);
    addTriangle(first, uint16_t(first + 1), uint16_t(first + 2));
}

void MeshBuilder::addQuadFacing(Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector3 outward,
                                TexturePatch texture, int cuts)
{
    if (dot(cross(b - a, c - a), outward) < 0) {
        // Walk the other way round (b, a, d, c), keeping each corner's texture coordinate.
        const auto& uv = texture.corners;
        addQuad(b, a, d, c, TexturePatch(uv[1], uv[0], uv[3], uv[2]), cuts);
        return;
    }
    addQuad(a, b, c, d, texture, cuts);
}

void MeshBuilder::addBox(Vector3 h, float texelsPerUnit, bool withEnds)
{
    // Each face as (centre direction, u axis, v axis) with u × v pointing out.
    struct Face {
        Vector3 normal, u, v;
    };
    const Face faces[] = {
        {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    auto scaled = [&](Vector3 axis) {
        return Vector3{axis.x * h.x, axis.y * h.y, axis.z * h.z};
    };
    for (int f = 0; f < 6; ++f) {
        const Face& face = faces[f];
        if (!withEnds && face.normal.z != 0)
            continue;
        Vector3 centre = scaled(face.normal), u = scaled(face.u), v = scaled(face.v);
        TexturePatch texture;
        if (texelsPerUnit > 0)
            texture = TexturePatch(0, 0, 2 * length(u) * texelsPerUnit,
                                   2 * length(v) * texelsPerUnit);
        addQuad(centre - u - v, centre + u - v, centre + u + v, centre - u + v, texture);
    }
}

void MeshBuilder::transformSince(size_t mark, const Matrix4& placement)
{
    for (size_t i = mark; i < mesh.vertices.size(); ++i) {
        MeshVertex& vertex = mesh.vertices[i];
        Vector3 p = transformPoint({vertex.x, vertex.y, vertex.z}, placement);
        Vector3 n = transformDirection({vertex.nx, vertex.ny, vertex.nz}, placement);
        vertex.x = p.x, vertex.y = p.y, vertex.z = p.z;
        vertex.nx = n.x, vertex.ny = n.y, vertex.nz = n.z;
    }
}

size_t MeshBuilder::triangleCount() const
{
    size_t count = 0;
    for (const auto& g : mesh.groups)
        count += g.indices.size() / 3;
    return count;
}

const MeshData& MeshBuilder::finish()
{
    if (mesh.vertices.size() > maxVertices)
        throw std::runtime_error("mesh needs " + std::to_string(mesh.vertices.size())
                                 + " vertices; 16-bit indices reach " + std::to_string(maxVertices));
    return mesh;
}

} // namespace tincrates::cratesmith

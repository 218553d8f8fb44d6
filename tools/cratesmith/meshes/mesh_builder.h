// Builds a mesh out of flat pieces: quads, boxes and triangles, grouped by material.
//
// A front face lists its corners so that (b − a) × (c − a) points out of the solid. The
// engine's view mirrors the world (world +x is drawn on the left), which reverses every
// triangle's winding on screen, so the builder stores each triangle's corners the other way
// round: front faces are then the ones drawn under the default counter-clockwise culling.
#pragma once

#include "math/vector_math.h"
#include "scene/mesh1_file.h"

#include <array>
#include <string>

namespace tincrates::cratesmith {

struct TexturePoint {
    float u, v;
};

// The texture coordinates of a quad's corners a, b, c, d.
struct TexturePatch {
    TexturePatch(float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1)
        : corners{{{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}}}
    {
    }
    TexturePatch(TexturePoint a, TexturePoint b, TexturePoint c, TexturePoint d)
        : corners{{a, b, c, d}}
    {
    }
    std::array<TexturePoint, 4> corners;
};

class MeshBuilder {
public:
    // Later pieces are drawn with `material`; a material used before gets its group back.
    void useMaterial(const std::string& material);

    uint16_t addVertex(Vector3 position, Vector3 normal, float u, float v);
    void addTriangle(uint16_t a, uint16_t b, uint16_t c);

    // A flat quad a, b, c, d going round its front face, cut into `cuts` × `cuts` cells so
    // that per-vertex lighting has points to work with. By default the texture runs u along
    // a→b and v along a→d.
    void addQuad(Vector3 a, Vector3 b, Vector3 c, Vector3 d, TexturePatch texture = {},
                 int cuts = 1);

    // A flat triangle or quad turned, if need be, so that its front faces `outward`.
    void addTriangleFacing(Vector3 a, Vector3 b, Vector3 c, Vector3 outward,
                           TexturePatch texture = {});
    void addQuadFacing(Vector3 a, Vector3 b, Vector3 c, Vector3 d, Vector3 outward,
                       TexturePatch texture = {}, int cuts = 1);

    // An axis-aligned box around the origin with the given half sizes, each face mapped
    // with the texture once per `texelsPerUnit`⁻¹ units (0: once per face).
    void addBox(Vector3 halfSize, float texelsPerUnit = 0, bool withEnds = true);

    // Moves everything added since `mark` (a vertexCount()) by `placement`, which must not
    // scale: normals turn with it unnormalised.
    void transformSince(size_t mark, const Matrix4& placement);

    size_t vertexCount() const { return mesh.vertices.size(); }
    size_t triangleCount() const;

    // The mesh built so far. Throws std::runtime_error when it needs more vertices than
    // 16-bit indices can reach.
    const MeshData& finish();

private:
    MeshData mesh;
    size_t group = 0;
    bool hasGroup = false;
};

} // namespace tincrates::cratesmith

// Crate geometry. Faces are panelled squares; neighbouring faces meet in a bevelled fold and
// three folds in a small corner triangle, so every edge catches the light.
#include "tools/cratesmith/meshes/crate_meshes.h"

#include "tools/cratesmith/meshes/geometry.h"

#include <array>

namespace tincrates::cratesmith {

namespace {

constexpr std::array<Vector3, 6> faceNormals = {{
    {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1},
}};

// Axes of one face: `right` × `down` = `out`, with `down` along −y on the sides, so the
// texture stands upright on them.
struct FaceAxes {
    Vector3 out, right, down;
};

FaceAxes axesOf(Vector3 out)
{
    Vector3 down = out.y != 0 ? Vector3{0, 0, out.y} : Vector3{0, -1, 0};
    return {out, cross(down, out), down};
}

class CrateMaker {
public:
    CrateMaker(MeshBuilder& builder, const CrateLook& look)
        : builder(builder)
        , look(look)
        , half(look.edge / 2)
        , flat(half - look.bevel)
    {
    }

    void make()
    {
        builder.useMaterial(look.body);
        for (Vector3 out : faceNormals)
            addFace(axesOf(out));
        if (look.bevel > 0) {
            addFolds();
            addCorners();
        }
        if (!look.brackets.empty()) {
            builder.useMaterial(look.brackets);
            for (Vector3 out : faceNormals)
                addRivets(axesOf(out));
            addBrackets();
        }
        if (!look.edgeLights.empty()) {
            builder.useMaterial(look.edgeLights);
            addEdgeLights();
        }
    }

private:
    // A point on a face: `s` to the right, `t` down, `depth` below its surface.
    Vector3 at(const FaceAxes& f, float s, float t, float depth = 0) const
    {
        return f.right * s + f.down * t + f.out * (half - depth);
    }
    // The face texture maps once over the whole edge, folds included; u runs against `right`,
    // since the engine's view mirrors the world and the markings must read on screen.
    TexturePoint uvAt(float s, float t) const
    {
        return {0.5f - s / look.edge, 0.5f + t / look.edge};
    }
    TexturePatch patchOf(float s0, float t0, float s1, float t1) const
    {
        return {uvAt(s0, t0), uvAt(s1, t0), uvAt(s1, t1), uvAt(s0, t1)};
    }

    // A square ring between half sizes `outer` (at depth `outerDepth`) and `inner`.
    void addRing(const FaceAxes& f, float outer, float outerDepth, float inner, float innerDepth)
    {
        const float sx[] = {-1, 1, 1, -1}, sy[] = {-1, -1, 1, 1};
        for (int i = 0; i < 4; ++i) {
            int j = (i + 1) % 4;
            Vector3 a = at(f, sx[i] * outer, sy[i] * outer, outerDepth);
            Vector3 b = at(f, sx[j] * outer, sy[j] * outer, outerDepth);
            Vector3 c = at(f, sx[j] * inner, sy[j] * inner, innerDepth);
            Vector3 d = at(f, sx[i] * inner, sy[i] * inner, innerDepth);
            TexturePatch texture(uvAt(sx[i] * outer, sy[i] * outer),
                                 uvAt(sx[j] * outer, sy[j] * outer),
                                 uvAt(sx[j] * inner, sy[j] * inner),
                                 uvAt(sx[i] * inner, sy[i] * inner));
            builder.addQuadFacing(a, b, c, d, f.out, texture);
        }
    }

    void addFace(const FaceAxes& f)
    {
        if (look.brackets.empty()) {
            builder.addQuadFacing(at(f, -flat, -flat), at(f, flat, -flat), at(f, flat, flat),
                                  at(f, -flat, flat), f.out, patchOf(-flat, -flat, flat, flat));
            return;
        }
        // A raised frame round a pressed-in panel, as tin sheet is stiffened.
        float frame = flat - look.edge * 0.1f;
        float panel = frame - look.edge * 0.03f;
        float depth = look.edge * 0.025f;
        addRing(f, flat, 0, frame, 0);
        addRing(f, frame, 0, panel, depth);
        builder.addQuadFacing(at(f, -panel, -panel, depth), at(f, panel, -panel, depth),
                              at(f, panel, panel, depth), at(f, -panel, panel, depth), f.out,
                              patchOf(-panel, -panel, panel, panel), 2);
    }

    void addFolds()
    {
        for (int a = 0; a < 6; ++a)
            for (int b = a + 1; b < 6; ++b) {
                Vector3 n1 = faceNormals[size_t(a)], n2 = faceNormals[size_t(b)];
                if (dot(n1, n2) != 0)
                    continue;
                Vector3 along = cross(n1, n2);
                Vector3 p1 = n1 * half + n2 * flat - along * flat;
                Vector3 p2 = n1 * half + n2 * flat + along * flat;
                Vector3 p3 = n1 * flat + n2 * half + along * flat;
                Vector3 p4 = n1 * flat + n2 * half - along * flat;
                float band = look.bevel / look.edge;
                builder.addQuadFacing(p1, p2, p3, p4, n1 + n2, {0, 0, 1, band});
            }
    }

    void addCorners()
    {
        for (float sx : {-1.0f, 1.0f})
            for (float sy : {-1.0f, 1.0f})
                for (float sz : {-1.0f, 1.0f})
                    builder.addTriangleFacing({sx * half, sy * flat, sz * flat},
                                              {sx * flat, sy * half, sz * flat},
                                              {sx * flat, sy * flat, sz * half}, {sx, sy, sz},
                                              {0, 0, 0.05f, 0.05f});
    }

    // Low four-sided rivet heads at the corners of the frame.
    void addRivets(const FaceAxes& f)
    {
        float line = flat - look.edge * 0.05f;
        float radius = look.edge * 0.018f;
        float height = radius * 0.8f;
        const float spots[][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& spot : spots) {
            Vector3 centre = at(f, spot[0] * line, spot[1] * line);
            Vector3 apex = centre + f.out * height;
            Vector3 corner[4] = {centre - f.right * radius - f.down * radius,
                                 centre + f.right * radius - f.down * radius,
                                 centre + f.right * radius + f.down * radius,
                                 centre - f.right * radius + f.down * radius};
            for (int i = 0; i < 4; ++i) {
                Vector3 a = corner[i], b = corner[(i + 1) % 4];
                Vector3 side = (a + b) * 0.5f - centre;
                builder.addTriangleFacing(a, b, apex, side + f.out * radius,
                                          {0.45f, 0.45f, 0.55f, 0.55f});
            }
        }
    }

    // Cubes over the corners, standing a little proud of the faces.
    void addBrackets()
    {
        float size = look.edge * 0.11f;
        float proud = look.edge * 0.012f;
        for (float sx : {-1.0f, 1.0f})
            for (float sy : {-1.0f, 1.0f})
                for (float sz : {-1.0f, 1.0f}) {
                    size_t mark = builder.vertexCount();
                    builder.addBox({size, size, size});
                    float c = half - size + proud;
                    builder.transformSince(mark, translation({sx * c, sy * c, sz * c}));
                }
    }

    // Bars along the twelve folds.
    void addEdgeLights()
    {
        float thickness = look.bevel * 0.35f;
        float reach = half - look.bevel * 0.5f;
        for (int axis = 0; axis < 3; ++axis)
            for (float s1 : {-1.0f, 1.0f})
                for (float s2 : {-1.0f, 1.0f}) {
                    Vector3 h{thickness, thickness, thickness};
                    Vector3 p{0, 0, 0};
                    float* hv = &h.x;
                    float* pv = &p.x;
                    hv[axis] = flat;
                    pv[(axis + 1) % 3] = s1 * reach;
                    pv[(axis + 2) % 3] = s2 * reach;
                    size_t mark = builder.vertexCount();
                    builder.addBox(h, 0, true);
                    builder.transformSince(mark, translation(p));
                }
    }

    MeshBuilder& builder;
    const CrateLook& look;
    float half; // half the edge
    float flat; // half the width of a face's flat part
};

} // namespace

void addCrate(MeshBuilder& builder, const CrateLook& look, const Matrix4& placement)
{
    size_t mark = builder.vertexCount();
    CrateMaker(builder, look).make();
    builder.transformSince(mark, placement);
}

} // namespace tincrates::cratesmith

// The generator's meshes as the engine draws them: through its mirrored view and its default
// culling, a crate shows exactly the faces that look towards the camera.
#include "tools/cratesmith/meshes/crate_meshes.h"
#include "tools/cratesmith/meshes/mesh_builder.h"

#include "math/vector_math.h"

#include <gtest/gtest.h>

namespace tincrates::cratesmith {
namespace {

struct Screen {
    float x, y; // right and up, as displayed
};

Screen project(Vector3 p, const Matrix4& view, const Matrix4& projection)
{
    Vector3 v = transformPoint(p, view);
    return {v.x * projection.m[0][0] / v.z, v.y * projection.m[1][1] / v.z};
}

// Whether the engine's default culling (D3DCULL_CCW: counter-clockwise as displayed is culled)
// keeps the triangle.
bool drawn(Screen a, Screen b, Screen c)
{
    float twiceArea = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    return twiceArea < 0; // clockwise with y up
}

Vector3 at(const MeshVertex& v) { return {v.x, v.y, v.z}; }

TEST(MeshBuilder, TheEngineDrawsTheFacesThatLookTowardsTheCamera)
{
    MeshBuilder builder;
    CrateLook look{4, 0.3f, "tin.material", "bracket.material", ""};
    addCrate(builder, look, identity());
    const MeshData& mesh = builder.finish();

    // Eyes off the planes of the faces, where a face would be seen edge on.
    for (Vector3 eye : {Vector3{3.3f, 4.1f, -9.2f}, Vector3{-7.4f, -2.6f, 5.3f},
                        Vector3{1.2f, 9.1f, 2.7f}}) {
        Matrix4 view = lookAt(eye, {0, 0, 0}, 0.3f);
        Matrix4 projection = perspectiveFov(80, 4.0f / 3, 1, 100);
        size_t drawnCount = 0, facingCount = 0;
        for (const auto& group : mesh.groups)
            for (size_t i = 0; i + 2 < group.indices.size(); i += 3) {
                const MeshVertex& a = mesh.vertices[group.indices[i]];
                const MeshVertex& b = mesh.vertices[group.indices[i + 1]];
                const MeshVertex& c = mesh.vertices[group.indices[i + 2]];
                Vector3 toEye{eye.x - a.x, eye.y - a.y, eye.z - a.z};
                bool facing = a.nx * toEye.x + a.ny * toEye.y + a.nz * toEye.z > 0;
                bool kept = drawn(project(at(a), view, projection),
                                  project(at(b), view, projection),
                                  project(at(c), view, projection));
                EXPECT_EQ(kept, facing) << "triangle " << i / 3 << " of " << group.material;
                drawnCount += kept;
                facingCount += facing;
            }
        EXPECT_GT(drawnCount, 0u);
        EXPECT_EQ(drawnCount, facingCount);
    }
}

} // namespace
} // namespace tincrates::cratesmith

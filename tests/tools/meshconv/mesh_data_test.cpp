// The summary meshconv prints of a MESH1 mesh.
#include "tools/meshconv/mesh_data.h"

#include "support/sample_mesh.h"

#include <gtest/gtest.h>

namespace tincrates::meshconv {
namespace {

using testing::sampleMesh;

TEST(Mesh1Data, TheSummaryGivesCountsBoundsAndGroups)
{
    EXPECT_EQ(describeMesh(sampleMesh()),
        "3 vertices, 2 groups, 1 triangle\n"
        "bounds (-1, 0, -2) to (1, 3, 2)\n"
        "group 0: 1 triangle, vertices 0 to 2, material \"crate.mat\"\n"
        "group 1: 0 triangles, material \"empty.mat\"\n");
}

} // namespace
} // namespace tincrates::meshconv

// OBJ text to MESH1 groups: statements, index forms, sharing of corners, the change of
// handedness, and line-numbered errors for malformed models.
#include "tools/meshconv/obj_reader.h"

#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tincrates::meshconv {
namespace {

std::string failureOf(const std::string& text)
{
    return testing::errorOf([&] { readObj(text, "default.mat"); });
}

TEST(ObjReader, GroupsFollowUsemtlAndShareEqualCorners)
{
    MeshData mesh = readObj("# comment\n"
                            "mtllib ignored.mtl\no Box\ns off\n"
                            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                            "f 1 2 3\n"
                            "usemtl crate.mat\n"
                            "f 1 2 3 4\n"
                            "usemtl lid mat\r\n"
                            "f -4 -3 -2\n"
                            "usemtl crate.mat\n"
                            "f 1 3 4\n"
                            "usemtl unused.mat\n",
        "default.mat");
    ASSERT_EQ(mesh.groups.size(), 3u);
    EXPECT_EQ(mesh.groups[0].material, "default.mat");
    EXPECT_EQ(mesh.groups[1].material, "crate.mat");
    EXPECT_EQ(mesh.groups[2].material, "lid mat");
    // A quad is a fan of two triangles, and the later crate face joins the crate group.
    EXPECT_EQ(mesh.groups[1].indices.size(), 9u);
    // All faces lie in one plane, so each position is one vertex with one flat normal.
    EXPECT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.groups[0].indices, (std::vector<uint16_t>{0, 1, 2}));
}

TEST(ObjReader, HandednessAndTextureRowsAreTurnedForTheEngine)
{
    MeshData mesh = readObj("v 0 0 -2\nv 1 0 -2\nv 0 1 -2\n"
                            "vt 0 0\nvt 1 0\nvt 0 0.25\n"
                            "vn 0 0 1\n"
                            "f 1/1/1 2/2/1 3/3/1\n",
        "m");
    ASSERT_EQ(mesh.vertices.size(), 3u);
    const MeshVertex& first = mesh.vertices[0];
    EXPECT_EQ(first.z, 2);
    EXPECT_EQ(first.nz, -1);
    EXPECT_EQ(first.v, 1);
    EXPECT_EQ(first.colour, 0xFFFFFFFFu);
    // Counter-clockwise in OBJ becomes clockwise, the engine's front face: corners 1, 3, 2.
    const std::vector<uint16_t>& indices = mesh.groups[0].indices;
    ASSERT_EQ(indices.size(), 3u);
    EXPECT_EQ(mesh.vertices[indices[1]].y, 1);
    EXPECT_EQ(mesh.vertices[indices[1]].v, 0.75f);
    EXPECT_EQ(mesh.vertices[indices[2]].x, 1);
}

TEST(ObjReader, FacesWithoutNormalsGetTheirFlatNormal)
{
    MeshData mesh = readObj("v 0 0 0\nv 2 0 0\nv 0 2 0\nv 0 0 1\nf 1 2 3\n"
                            "vn 1 0 0\nf 1//1 3//1 4//1\n",
        "m");
    // 0,0,1 in OBJ (counter-clockwise in the x-y plane) mirrored to 0,0,-1, normalised.
    EXPECT_EQ(mesh.vertices[0].nz, -1);
    EXPECT_EQ(mesh.vertices[0].nx, 0);
    // The same position with a given normal is another vertex.
    EXPECT_EQ(mesh.vertices.size(), 6u);
    EXPECT_EQ(mesh.vertices[3].nx, 1);
    // Reference to an explicit normal before it exists is an error, so this is line 6.
    EXPECT_EQ(failureOf("v 0 0 0\nv 1 0 0\nv 0 1 0\n\n\nf 1//1 2//1 3//1\n"),
        "line 6: normal index out of range: 1");
}

TEST(ObjReader, MalformedStatementsNameTheirLine)
{
    EXPECT_EQ(failureOf("v 1 2\n"), "line 1: expected 3 to 4 numbers after v");
    EXPECT_EQ(failureOf("v 1 2 x\n"), "line 1: not a number: x");
    EXPECT_EQ(failureOf("v 1 2 1e999\n"), "line 1: not a number: 1e999");
    EXPECT_EQ(failureOf("vn 1 2 3 4\n"), "line 1: expected 3 to 3 numbers after vn");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1 1\n"), "line 2: a face needs at least three corners");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1 1 2\n"), "line 2: position index out of range: 2");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1 1 0\n"), "line 2: position index out of range: 0");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1 1 -2\n"), "line 2: position index out of range: -2");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1 1 1a\n"), "line 2: bad position index: 1a");
    EXPECT_EQ(failureOf("v 0 0 0\nf 1/2 1 1\n"),
        "line 2: texture coordinate index out of range: 2");
    EXPECT_EQ(failureOf("usemtl\n"), "line 1: usemtl needs a material name");
}

TEST(ObjReader, MoreVerticesThanSixteenBitIndicesReachAreRefused)
{
    std::string text;
    for (int i = 0; i < 0x10000; ++i)
        text += "v " + std::to_string(i) + " 0 0\n";
    for (int i = 1; i + 2 <= 0x10000; i += 3)
        text += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " "
            + std::to_string(i + 2) + "\n";
    text += "f 65534 65535 65536\n";
    std::string failure = failureOf(text);
    EXPECT_EQ(failure.substr(failure.find(':')),
        ": more than 65535 distinct vertices, more than a MESH1-file can index");
}

} // namespace
} // namespace tincrates::meshconv

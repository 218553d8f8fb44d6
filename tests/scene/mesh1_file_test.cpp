// MESH1 bytes written and read back, and damaged files refused with the engine's texts.
#include "scene/mesh1_file.h"

#include "support/error_of.h"
#include "support/sample_mesh.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::sampleMesh;

std::string failureOf(const std::string& bytes)
{
    return testing::errorOf([&] { decodeMesh1(bytes); });
}

TEST(Mesh1Data, WrittenBytesReadBackTheSame)
{
    std::string bytes = encodeMesh1(sampleMesh());
    EXPECT_EQ(bytes.size(), 5u + 4 + 3 * 36 + 4 + (10 + 4 + 6) + (10 + 4));
    MeshData back = decodeMesh1(bytes + "ignored");
    ASSERT_EQ(back.vertices.size(), 3u);
    EXPECT_EQ(back.vertices[2].y, 3);
    EXPECT_EQ(back.vertices[2].u, 0.5f);
    ASSERT_EQ(back.groups.size(), 2u);
    EXPECT_EQ(back.groups[0].material, "crate.mat");
    EXPECT_EQ(back.groups[0].indices, (std::vector<uint16_t>{0, 2, 1}));
    EXPECT_TRUE(back.groups[1].indices.empty());
}

TEST(Mesh1Data, DamagedFilesAreRefusedAtEveryLength)
{
    std::string bytes = encodeMesh1(sampleMesh());
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_EQ(failureOf(bytes.substr(0, length)),
            length < 5 ? "Not a MESH1-file" : "Truncated MESH1-file")
            << length;
    std::string badIndex = bytes;
    badIndex[5 + 4 + 3 * 36 + 4 + 10 + 4] = 3;
    EXPECT_EQ(failureOf(badIndex), "Vertex index out of range: 3");
    EXPECT_EQ(failureOf("MESH1\xff\xff\xff\xff"), "Truncated MESH1-file");
    EXPECT_EQ(failureOf("MESH0"), "Not a MESH1-file");
}

TEST(Mesh1Data, GroupsThatCannotBeStoredAreRefused)
{
    MeshData mesh = sampleMesh();
    mesh.groups[0].indices.push_back(0);
    EXPECT_THROW(encodeMesh1(mesh), std::string);
    mesh = sampleMesh();
    mesh.groups[0].material = std::string("a\0b", 3);
    EXPECT_THROW(encodeMesh1(mesh), std::string);
}

} // namespace
} // namespace tincrates

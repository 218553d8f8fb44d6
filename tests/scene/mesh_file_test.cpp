// Reading MESH1 files: the layout, forced vertex colours, group materials, and clear errors for
// files that are not MESH1, are cut short, claim more than they hold or index past the vertices.
#include "scene/mesh_manager.h"

#include "mesh_file_builder.h"
#include "support/asset_fixture.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

class MeshFile : public AssetTest {
protected:
    MeshFile() { writeData("plain.mat", "<material/>"); }

    Mesh* load(const std::string& bytes)
    {
        writeData("test.mesh", bytes);
        return meshes.get("test.mesh");
    }

    std::string failureOf(const std::string& bytes)
    {
        writeData("bad.mesh", bytes);
        return errorOf([&] { meshes.get("bad.mesh"); });
    }

    MeshManager meshes;
};

TEST_F(MeshFile, AnEmptyMeshLoadsAndDrawsNothing)
{
    Mesh* mesh = load(std::string("MESH1") + std::string(8, '\0'));
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(mesh->vertices.empty());
    EXPECT_TRUE(mesh->groups.empty());
    mesh->draw();
    EXPECT_EQ(mesh->vertexBuffer, nullptr);
}

TEST_F(MeshFile, VerticesAndGroupsAreReadInFileOrderWithWhiteVertices)
{
    writeData("other.mat", "<material><diffuse r=\"0\"/></material>");
    MeshFileBuilder file;
    file.vertex(1, 2, 3, 0x00000000, 0.25f, 0.75f, 0, 1, 0)
        .vertex(-1, -2, -3, 0xFF00FF00)
        .vertex(4, 5, 6)
        .group("plain.mat", {0, 1, 2})
        .group("other.mat", {})
        .group("plain.mat", {2, 1, 0, 0, 0, 1});
    Mesh* mesh = load(file.bytes() + "trailing bytes are ignored");
    ASSERT_EQ(mesh->vertices.size(), 3u);
    const MeshVertex& first = mesh->vertices[0];
    EXPECT_EQ(first.x, 1);
    EXPECT_EQ(first.z, 3);
    EXPECT_EQ(first.ny, 1);
    EXPECT_EQ(first.u, 0.25f);
    EXPECT_EQ(first.v, 0.75f);
    EXPECT_EQ(mesh->vertices[2].y, 5);
    for (const MeshVertex& vertex : mesh->vertices)
        EXPECT_EQ(vertex.colour, 0xFFFFFFFFu);

    ASSERT_EQ(mesh->groups.size(), 3u);
    EXPECT_EQ(mesh->groups[0].indices, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_TRUE(mesh->groups[1].indices.empty());
    EXPECT_EQ(mesh->groups[2].indices, (std::vector<uint16_t>{2, 1, 0, 0, 0, 1}));
    // The empty group's material is loaded all the same; equal names share one material.
    ASSERT_NE(mesh->groups[1].material, nullptr);
    EXPECT_EQ(mesh->groups[1].material->diffuse.r, 0);
    EXPECT_EQ(mesh->groups[0].material, mesh->groups[2].material);
    EXPECT_EQ(meshes.materials.heldCount(mesh->groups[0].material), 2);
    EXPECT_EQ(mesh->vertexBuffer, nullptr);
    EXPECT_EQ(mesh->groups[0].indexBuffer, nullptr);
}

TEST_F(MeshFile, AnythingButTheMagicIsNotAMesh)
{
    const std::string notMesh = "Failed to load bad.mesh\nNot a MESH1-file";
    EXPECT_EQ(failureOf("MESH2" + std::string(8, '\0')), notMesh);
    EXPECT_EQ(failureOf("mesh1" + std::string(8, '\0')), notMesh);
    EXPECT_EQ(failureOf("MESH"), notMesh);
    EXPECT_EQ(failureOf(""), notMesh);
    EXPECT_EQ(errorOf([&] { meshes.get("absent.mesh"); }),
        "Failed to load absent.mesh\nFile not found");
}

TEST_F(MeshFile, EveryTruncationIsReportedAndNothingIsKept)
{
    MeshFileBuilder file;
    file.vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).group("plain.mat", {0, 1, 2, 2, 1, 0});
    const std::string whole = file.bytes();
    for (size_t length = 5; length < whole.size(); ++length) {
        MeshManager each;
        writeData("cut.mesh", whole.substr(0, length));
        EXPECT_EQ(errorOf([&] { each.get("cut.mesh"); }),
            "Failed to load cut.mesh\nTruncated MESH1-file")
            << length;
    }
    EXPECT_EQ(load(whole)->groups.size(), 1u);
}

TEST_F(MeshFile, CountsBeyondTheDataAreRefusedBeforeAnythingIsAllocated)
{
    std::string hugeVertices = "MESH1";
    MeshFileBuilder::appendCount(hugeVertices, 0xFFFFFFFFu);
    EXPECT_EQ(failureOf(hugeVertices + std::string(72, '\0')),
        "Failed to load bad.mesh\nTruncated MESH1-file");

    std::string hugeGroups = "MESH1";
    MeshFileBuilder::appendCount(hugeGroups, 0);
    MeshFileBuilder::appendCount(hugeGroups, 0xFFFFFFFFu);
    EXPECT_EQ(failureOf(hugeGroups + "plain.mat" + std::string(5, '\0')),
        "Failed to load bad.mesh\nTruncated MESH1-file");

    std::string hugeTriangles = MeshFileBuilder().vertex(0, 0, 0).bytes();
    hugeTriangles.replace(9 + 36, 4, std::string("\x01\0\0\0", 4));
    hugeTriangles += "plain.mat";
    hugeTriangles += '\0';
    MeshFileBuilder::appendCount(hugeTriangles, 0x80000000u);
    EXPECT_EQ(failureOf(hugeTriangles + std::string(6, '\0')),
        "Failed to load bad.mesh\nTruncated MESH1-file");
}

TEST_F(MeshFile, IndicesMustAddressAVertex)
{
    MeshFileBuilder file;
    file.vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).group("plain.mat", {0, 1, 3});
    EXPECT_EQ(failureOf(file.bytes()), "Failed to load bad.mesh\nVertex index out of range: 3");
}

TEST_F(MeshFile, AGroupMaterialFailureCarriesEveryLine)
{
    writeData("shiny.mat", "<material><texture file=\"gone.png\"/></material>");
    MeshFileBuilder file;
    file.vertex(0, 0, 0).group("shiny.mat", {0, 0, 0});
    EXPECT_EQ(failureOf(file.bytes()),
        "Failed to load bad.mesh\nFailed to load shiny.mat\nFailed to load gone.png\n"
        "file not found: gone.png");
    EXPECT_EQ(MeshManager::totalCount(nullptr), 0);
}

} // namespace
} // namespace tincrates

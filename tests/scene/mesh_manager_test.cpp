// Mesh managers and the managers they hold: what each holds, sharing between managers, and
// that sub-assets stay alive as long as any manager holds the mesh that uses them.
#include "scene/mesh_manager.h"

#include "mesh_file_builder.h"
#include "support/asset_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace tincrates {
namespace {

using namespace testing;

class MeshManagers : public AssetTest {
protected:
    MeshManagers()
    {
        writeSolidPng("white.png", 0xFFFFFFFF);
        writeData("lit.mat", "<material><texture file=\"white.png\"/></material>");
        MeshFileBuilder file;
        file.vertex(-1, -1, 0).vertex(-1, 1, 0).vertex(1, 1, 0).group("lit.mat", {0, 1, 2});
        file.group("lit.mat", {2, 1, 0});
        writeData("crate.mesh", file.bytes());
    }
};

TEST_F(MeshManagers, EachLinkHoldsWhatItsLoadsTook)
{
    TextureManager hostTextures;
    Texture* white = hostTextures.get("white.png");
    Material* material = nullptr;
    {
        MeshManager meshes;
        Mesh* mesh = meshes.get("crate.mesh");
        EXPECT_EQ(meshes.get("crate.mesh"), mesh);
        EXPECT_EQ(meshes.heldCount(mesh), 2);
        material = mesh->groups[0].material;
        EXPECT_EQ(meshes.materials.heldCount(material), 2);
        EXPECT_EQ(meshes.materials.textures.heldCount(white), 1);
        EXPECT_EQ(TextureManager::totalCount(white), 2);
        mesh->draw();
    }
    EXPECT_EQ(MeshManager::totalCount(nullptr), 0);
    EXPECT_EQ(MaterialManager::totalCount(material), 0);
    // The host's own hold keeps the shared image.
    EXPECT_EQ(TextureManager::totalCount(white), 1);
}

TEST_F(MeshManagers, AMeshSharedByTwoManagersKeepsItsMaterialsWhenTheLoaderGoes)
{
    auto first = std::make_unique<MeshManager>();
    MeshManager second;
    Mesh* mesh = first->get("crate.mesh");
    EXPECT_EQ(second.get("crate.mesh"), mesh);
    Material* material = mesh->groups[0].material;
    Texture* texture = material->texture;
    EXPECT_EQ(second.materials.heldCount(material), 2);
    EXPECT_EQ(second.materials.textures.heldCount(texture), 1);

    first.reset();
    EXPECT_EQ(MeshManager::totalCount(mesh), 1);
    EXPECT_EQ(MaterialManager::totalCount(material), 2);
    EXPECT_EQ(TextureManager::totalCount(texture), 1);
    device->BeginScene();
    mesh->draw();
    device->EndScene();
}

TEST_F(MeshManagers, AMaterialSharedByTwoManagersKeepsItsTexturesWhenTheLoaderGoes)
{
    auto first = std::make_unique<MaterialManager>();
    MaterialManager second;
    Material* material = first->get("lit.mat");
    EXPECT_EQ(second.get("lit.mat"), material);
    first.reset();
    EXPECT_EQ(TextureManager::totalCount(material->texture), 1);
    EXPECT_EQ(second.textures.heldCount(material->texture), 1);
}

TEST_F(MeshManagers, AReloadAfterEveryHolderIsGoneReadsTheFilesAgain)
{
    {
        MeshManager meshes;
        meshes.get("crate.mesh");
    }
    writeData("lit.mat", "<material><diffuse r=\"0.5\"/></material>");
    MeshManager meshes;
    Mesh* mesh = meshes.get("crate.mesh");
    EXPECT_FLOAT_EQ(mesh->groups[1].material->diffuse.r, 0.5f);
    EXPECT_EQ(mesh->groups[1].material->texture, nullptr);
}

} // namespace
} // namespace tincrates

// Sharing scenes by name, and what goes with a scene when its last manager goes.
#include "scene/scene_manager.h"

#include "scene_test_files.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <memory>

namespace tincrates {
namespace {

int destroyedCallerNodes = 0;

// A node the caller owns and appends to the scene's lists, as the production's own camera and
// light are.
struct CallerLight : Light {
    ~CallerLight() override { ++destroyedCallerNodes; }
};
struct CallerCamera : Camera {
    ~CallerCamera() override { ++destroyedCallerNodes; }
};

class SceneManagerTest : public ::testing::Test {
protected:
    SceneManagerTest()
    {
        folder.write("data/plain.mat", testing::materialFile(""));
        folder.write("data/square.mesh", testing::squareMeshFile("plain.mat"));
        folder.write("data/one.scene", R"(<scene>
            <object mesh="square.mesh"><light/></object><object mesh="square.mesh"/>
        </scene>)");
        destroyedCallerNodes = 0;
    }

    testing::ScratchDir folder;
};

TEST_F(SceneManagerTest, CallersNodesOutliveTheScene)
{
    CallerLight light;
    CallerCamera camera;
    {
        SceneManager manager;
        Scene* scene = manager.get("one.scene");
        scene->lights.push_back(&light);
        scene->cameras.push_back(&camera);
        light.parent = scene->objects[1];
        EXPECT_EQ(2u, scene->lights.size());
    }
    EXPECT_EQ(0, destroyedCallerNodes);
}

TEST_F(SceneManagerTest, SharedSceneKeepsItsMeshesUntilTheLastManagerGoes)
{
    auto first = std::make_unique<SceneManager>();
    auto second = std::make_unique<SceneManager>();
    Scene* scene = first->get("one.scene");
    Mesh* mesh = scene->objects[0]->mesh;
    EXPECT_EQ(2, ResourceManager<Mesh>::totalCount(mesh));
    EXPECT_EQ(scene, second->get("one.scene"));
    EXPECT_EQ(2, ResourceManager<Scene>::totalCount(scene));
    EXPECT_EQ(3, ResourceManager<Mesh>::totalCount(mesh));

    // The scene still names the mesh, so the mesh lives on with the second manager.
    first.reset();
    EXPECT_EQ(1, ResourceManager<Scene>::totalCount(scene));
    EXPECT_EQ(1, ResourceManager<Mesh>::totalCount(mesh));
    EXPECT_EQ(4u, scene->objects[1]->mesh->vertices.size());

    second.reset();
    EXPECT_EQ(0, ResourceManager<Scene>::totalCount(scene));
    EXPECT_EQ(0, ResourceManager<Mesh>::totalCount(mesh));
}

TEST_F(SceneManagerTest, DestroyedSceneIsReadAfreshOnTheNextGet)
{
    {
        SceneManager manager;
        EXPECT_EQ(2u, manager.get("one.scene")->objects.size());
    }
    folder.write("data/one.scene", "<scene><object/></scene>");
    SceneManager manager;
    EXPECT_EQ(1u, manager.get("one.scene")->objects.size());
}

} // namespace
} // namespace tincrates

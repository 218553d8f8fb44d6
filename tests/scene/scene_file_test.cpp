// Reading scene files: elements, attribute defaults, nesting and order.
#include "scene/scene_manager.h"

#include "scene_test_files.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace tincrates {
namespace {

class SceneFile : public ::testing::Test {
protected:
    // Writes the scene text as data/test.scene and loads it through the manager.
    Scene* load(const std::string& text)
    {
        folder.write("data/test.scene", text);
        try {
            return manager.get("test.scene");
        } catch (const std::string& error) {
            ADD_FAILURE() << error;
            throw;
        }
    }

    testing::ScratchDir folder;
    SceneManager manager;
};

void expectColour(Colour expected, Colour actual)
{
    EXPECT_FLOAT_EQ(expected.r, actual.r);
    EXPECT_FLOAT_EQ(expected.g, actual.g);
    EXPECT_FLOAT_EQ(expected.b, actual.b);
    EXPECT_FLOAT_EQ(expected.a, actual.a);
}

void expectVector(Vector3 expected, Vector3 actual)
{
    EXPECT_FLOAT_EQ(expected.x, actual.x);
    EXPECT_FLOAT_EQ(expected.y, actual.y);
    EXPECT_FLOAT_EQ(expected.z, actual.z);
}

TEST_F(SceneFile, EmptyRootGivesEmptySceneWithDefaults)
{
    Scene* scene = load("<scene/>");
    ASSERT_NE(nullptr, scene);
    EXPECT_TRUE(scene->objects.empty());
    EXPECT_TRUE(scene->cameras.empty());
    EXPECT_TRUE(scene->lights.empty());
    expectColour({0.1f, 0.1f, 0.1f, 1.0f}, scene->ambient);
    EXPECT_FALSE(scene->fogEnabled);
    expectColour({0, 0, 0, 1}, scene->fogColour);
    EXPECT_FLOAT_EQ(0.0f, scene->fogStart);
    EXPECT_FLOAT_EQ(1000.0f, scene->fogEnd);
}

TEST_F(SceneFile, DocumentWithoutElementsGivesEmptyScene)
{
    Scene* scene = load("<?xml version=\"1.0\"?>\n<!-- nothing here -->\n");
    EXPECT_TRUE(scene->objects.empty());
    EXPECT_TRUE(scene->lights.empty());
}

TEST_F(SceneFile, ObjectsAreListedInDocumentPreOrder)
{
    Scene* scene = load(R"(<scene>
        <object><position x="1"/><object><position x="2"/></object></object>
        <!-- a comment between objects -->
        <object><position x="3"/></object>
    </scene>)");
    ASSERT_EQ(3u, scene->objects.size());
    EXPECT_FLOAT_EQ(1.0f, scene->objects[0]->transform.position.x);
    EXPECT_FLOAT_EQ(2.0f, scene->objects[1]->transform.position.x);
    EXPECT_FLOAT_EQ(3.0f, scene->objects[2]->transform.position.x);
    EXPECT_EQ(nullptr, scene->objects[0]->parent);
    EXPECT_EQ(scene->objects[0], scene->objects[1]->parent);
    EXPECT_EQ(nullptr, scene->objects[2]->parent);
}

TEST_F(SceneFile, ObjectWithoutMeshIsAGroupingNode)
{
    Scene* scene = load(R"(<scene><object/><object mesh=""/></scene>)");
    ASSERT_EQ(2u, scene->objects.size());
    EXPECT_EQ(nullptr, scene->objects[0]->mesh);
    EXPECT_EQ(nullptr, scene->objects[1]->mesh);
    EXPECT_TRUE(scene->objects[0]->visible);
}

TEST_F(SceneFile, LightNestedInObjectFollowsIt)
{
    Scene* scene = load(R"(<scene>
        <object><position x="10"/><light><position y="5"/></light></object>
    </scene>)");
    ASSERT_EQ(1u, scene->lights.size());
    Light* light = scene->lights[0];
    EXPECT_EQ(scene->objects[0], light->parent);
    expectVector({10, 5, 0}, translationOf(light->worldMatrix()));
}

TEST_F(SceneFile, ObjectsNestInLights)
{
    Scene* scene = load(R"(<scene><light><object/><light/></light></scene>)");
    ASSERT_EQ(2u, scene->lights.size());
    ASSERT_EQ(1u, scene->objects.size());
    EXPECT_EQ(scene->lights[0], scene->objects[0]->parent);
    EXPECT_EQ(scene->lights[0], scene->lights[1]->parent);
}

TEST_F(SceneFile, LaterTransformElementReplacesEarlierOneWithDefaults)
{
    Scene* scene = load(R"(<scene><object>
        <position x="1" y="2" z="3"/><position x="5"/>
        <scale x="4" y="4" z="4"/><scale/>
        <rotation x="1" y="2" z="3" w="4"/><rotation/>
    </object></scene>)");
    const Transform& t = scene->objects[0]->transform;
    expectVector({5, 0, 0}, t.position);
    expectVector({1, 1, 1}, t.scale);
    EXPECT_FLOAT_EQ(0.0f, t.rotation.x);
    EXPECT_FLOAT_EQ(1.0f, t.rotation.w);
}

TEST_F(SceneFile, RotationWithNegativeWIsNegatedWhole)
{
    Scene* scene = load(R"(<scene>
        <object><rotation w="-1"/></object>
        <object><rotation x="0.5" y="-0.25" z="0.125" w="-2"/></object>
        <object><rotation x="0.5" w="3"/></object>
    </scene>)");
    Quaternion a = scene->objects[0]->transform.rotation;
    EXPECT_FLOAT_EQ(0.0f, a.x);
    EXPECT_FLOAT_EQ(1.0f, a.w);
    Quaternion b = scene->objects[1]->transform.rotation;
    EXPECT_FLOAT_EQ(-0.5f, b.x);
    EXPECT_FLOAT_EQ(0.25f, b.y);
    EXPECT_FLOAT_EQ(-0.125f, b.z);
    EXPECT_FLOAT_EQ(2.0f, b.w);
    // Not normalised.
    Quaternion c = scene->objects[2]->transform.rotation;
    EXPECT_FLOAT_EQ(0.5f, c.x);
    EXPECT_FLOAT_EQ(3.0f, c.w);
}

TEST_F(SceneFile, NumbersAreReadLikeAtof)
{
    Scene* scene = load(R"(<scene><object>
        <position x="  2.5e1cm" y="abc" z="-.5"/>
    </object></scene>)");
    expectVector({25, 0, -0.5f}, scene->objects[0]->transform.position);
}

TEST_F(SceneFile, PivotIsReadFromItsOwnTransformElements)
{
    Scene* scene = load(R"(<scene><object>
        <pivot><position x="9"/></pivot>
        <pivot><position x="1" y="2" z="3"/><scale x="2" y="2" z="2"/></pivot>
        <position x="7"/>
    </object></scene>)");
    SceneObject* object = scene->objects[0];
    Transform pivot;
    pivot.position = {1, 2, 3};
    pivot.scale = {2, 2, 2};
    Matrix4 expected = transformMatrix(pivot);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_FLOAT_EQ(expected.m[row][column], object->pivot.m[row][column]);
    // The pivot's children are not the object's own transform.
    expectVector({7, 0, 0}, object->transform.position);
    expectVector({1, 1, 1}, object->transform.scale);
}

TEST_F(SceneFile, AmbientOnlyUnderRootOrLight)
{
    Scene* scene = load(R"(<scene>
        <ambient r="0.25" g="0.5"/>
        <object><ambient r="0" g="0" b="0" a="0"/></object>
        <light><ambient b="0.75"/></light>
        <group><ambient r="0"/></group>
    </scene>)");
    expectColour({0.25f, 0.5f, 1.0f, 1.0f}, scene->ambient);
    expectColour({1.0f, 1.0f, 0.75f, 1.0f}, scene->lights[0]->ambient);
}

TEST_F(SceneFile, LightColoursAndDefaults)
{
    Scene* scene = load(R"(<scene>
        <light><diffuse r="0.5" g="0.25" b="0" a="0.5"/><specular r="0.125"/>
               <diffuse r="0.75" g="0.75" b="0.75"/></light>
        <light/>
    </scene>)");
    ASSERT_EQ(2u, scene->lights.size());
    expectColour({0.75f, 0.75f, 0.75f, 1.0f}, scene->lights[0]->diffuse);
    expectColour({0.125f, 1.0f, 1.0f, 1.0f}, scene->lights[0]->specular);
    expectColour({0.05f, 0.05f, 0.05f, 1.0f}, scene->lights[0]->ambient);
    expectColour({1, 1, 1, 1}, scene->lights[1]->diffuse);
    expectColour({0, 0, 0, 1}, scene->lights[1]->specular);
}

TEST_F(SceneFile, UnknownAndMiscasedElementsAreIgnored)
{
    Scene* scene = load(R"(<scene kind="x">
        <position x="3"/>
        <Object/><OBJECT/><objects/>
        <object><Position x="3"/><unknown><object/></unknown></object>
        text between elements
    </scene>)");
    ASSERT_EQ(1u, scene->objects.size());
    expectVector({0, 0, 0}, scene->objects[0]->transform.position);
}

TEST_F(SceneFile, ObjectsNamingOneMeshShareIt)
{
    folder.write("data/plain.mat", testing::materialFile(""));
    folder.write("data/square.mesh", testing::squareMeshFile("plain.mat"));
    folder.write("data/other.mesh", testing::squareMeshFile("plain.mat"));
    Scene* scene = load(R"(<scene>
        <object mesh="square.mesh"/>
        <object mesh="other.mesh"><object mesh="square.mesh"/></object>
    </scene>)");
    ASSERT_EQ(3u, scene->objects.size());
    Mesh* square = scene->objects[0]->mesh;
    ASSERT_NE(nullptr, square);
    EXPECT_EQ(square, scene->objects[2]->mesh);
    EXPECT_NE(square, scene->objects[1]->mesh);
    EXPECT_EQ(4u, square->vertices.size());
    EXPECT_EQ(2, manager.meshes.heldCount(square));
    EXPECT_EQ(1, manager.meshes.heldCount(scene->objects[1]->mesh));
}

TEST_F(SceneFile, SecondGetSharesTheSceneWithoutReading)
{
    Scene* first = load("<scene><object/></scene>");
    folder.write("data/test.scene", "not xml at all <");
    Scene* second = manager.get("test.scene");
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, manager.heldCount(first));
}

} // namespace
} // namespace tincrates

// World matrices through parent chains, and where cameras look.
#include "scene/scene_node.h"

#include "scene/camera.h"
#include "scene/light.h"
#include "scene/scene_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

void expectMatrixNear(const Matrix4& expected, const Matrix4& actual)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(expected.m[row][column], actual.m[row][column], 1e-5f)
                << "at row " << row << ", column " << column;
}

void expectPointNear(Vector3 expected, Vector3 actual)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-4f);
    EXPECT_NEAR(expected.y, actual.y, 1e-4f);
    EXPECT_NEAR(expected.z, actual.z, 1e-4f);
}

const float halfRoot2 = std::sqrt(0.5f);

TEST(SceneNode, DefaultNodeHasIdentityLocalAndWorldMatrices)
{
    SceneNode node;
    expectMatrixNear(identity(), node.localMatrix());
    expectMatrixNear(identity(), node.worldMatrix());
    EXPECT_EQ(nullptr, node.parent);
}

TEST(SceneNode, TopLevelWorldMatrixIsItsLocalMatrix)
{
    SceneNode node;
    node.transform.position = {1, 2, 3};
    node.transform.rotation = {0, halfRoot2, 0, halfRoot2};
    node.transform.scale = {2, 3, 4};
    expectMatrixNear(node.localMatrix(), node.worldMatrix());
    expectMatrixNear(transformMatrix(node.transform), node.localMatrix());
}

TEST(SceneNode, ChildIsCarriedByParentRotationAndPosition)
{
    SceneNode parent;
    parent.transform.rotation = {0, halfRoot2, 0, halfRoot2}; // 90 degrees about y
    parent.transform.position = {1, 2, 3};
    SceneNode child(&parent);
    child.transform.position = {0, 0, 5};
    expectPointNear({6, 2, 3}, translationOf(child.worldMatrix()));
}

TEST(SceneNode, ThreeLevelChainAppliesEachAncestorInTurn)
{
    SceneNode grandparent;
    grandparent.transform.position = {100, 0, 0};
    SceneNode parent(&grandparent);
    parent.transform.scale = {2, 2, 2};
    SceneNode child(&parent);
    child.transform.position = {1, 1, 1};
    // The child's offset is scaled by the parent, then moved by the grandparent.
    expectPointNear({102, 2, 2}, translationOf(child.worldMatrix()));
    // Changes to an ancestor show at the next call: nothing is cached.
    grandparent.transform.position = {0, 0, 0};
    expectPointNear({2, 2, 2}, translationOf(child.worldMatrix()));
}

TEST(SceneNode, ObjectsAndLightsParentEachOther)
{
    SceneObject object;
    object.transform.position = {10, 0, 0};
    Light light(&object);
    light.transform.position = {0, 5, 0};
    SceneObject lamp(nullptr, &light);
    lamp.transform.position = {0, 0, 1};
    expectPointNear({10, 5, 0}, translationOf(light.worldMatrix()));
    expectPointNear({10, 5, 1}, translationOf(lamp.worldMatrix()));
}

TEST(SceneObject, PivotDoesNotMoveTheWorldMatrix)
{
    SceneObject object;
    object.pivot = translation({5, 5, 5});
    object.transform.position = {1, 0, 0};
    expectPointNear({1, 0, 0}, translationOf(object.worldMatrix()));
    EXPECT_TRUE(object.visible);
    EXPECT_EQ(nullptr, object.mesh);
}

TEST(Light, DefaultsAreDimAmbientAndWhiteDiffuse)
{
    Light light;
    EXPECT_FLOAT_EQ(0.05f, light.ambient.r);
    EXPECT_FLOAT_EQ(1.0f, light.ambient.a);
    EXPECT_FLOAT_EQ(1.0f, light.diffuse.g);
    EXPECT_FLOAT_EQ(0.0f, light.specular.b);
    EXPECT_FLOAT_EQ(1.0f, light.specular.a);
}

TEST(Camera, WithoutTargetLooksAtTheOrigin)
{
    Camera camera;
    camera.transform.position = {3, 4, -5};
    camera.roll = 0.25f;
    expectMatrixNear(lookAt({3, 4, -5}, {0, 0, 0}, 0.25f), camera.localMatrix());
    // The origin lies straight ahead: on the viewing axis, in front of the eye.
    Vector3 origin = transformPoint({0, 0, 0}, camera.worldMatrix());
    EXPECT_NEAR(0.0f, origin.x, 1e-4f);
    EXPECT_NEAR(0.0f, origin.y, 1e-4f);
    EXPECT_NEAR(std::sqrt(50.0f), origin.z, 1e-4f);
}

TEST(Camera, FollowsTheWorldPositionOfItsTarget)
{
    SceneNode anchor;
    anchor.transform.position = {0, 10, 0};
    SceneNode target(&anchor);
    target.transform.position = {4, 0, 0};
    Camera camera;
    camera.transform.position = {0, 0, -10};
    camera.target = &target;
    expectMatrixNear(lookAt({0, 0, -10}, {4, 10, 0}, 0.0f), camera.localMatrix());
    anchor.transform.position = {0, 0, 0};
    expectMatrixNear(lookAt({0, 0, -10}, {4, 0, 0}, 0.0f), camera.localMatrix());
}

TEST(Camera, IgnoresItsOwnRotationAndScale)
{
    Camera camera;
    camera.transform.position = {0, 0, -10};
    Matrix4 plain = camera.localMatrix();
    camera.transform.rotation = {0, halfRoot2, 0, halfRoot2};
    camera.transform.scale = {3, 3, 3};
    expectMatrixNear(plain, camera.localMatrix());
}

TEST(Camera, ParentsFollowTheViewMatrix)
{
    SceneNode parent;
    parent.transform.position = {1, 2, 3};
    Camera camera(&parent);
    camera.transform.position = {0, 0, -10};
    expectMatrixNear(multiply(camera.localMatrix(), parent.localMatrix()), camera.worldMatrix());
}

} // namespace
} // namespace tincrates

#include "math/vector_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

constexpr float tolerance = 1e-5f;

void expectVector(Vector3 actual, Vector3 expected, float within = tolerance)
{
    EXPECT_NEAR(actual.x, expected.x, within);
    EXPECT_NEAR(actual.y, expected.y, within);
    EXPECT_NEAR(actual.z, expected.z, within);
}

void expectMatrix(const Matrix4& actual, const Matrix4& expected, float within = tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], within) << "m" << r << c;
}

TEST(Math, MatrixHasTheLayoutOfD3DMatrix)
{
    static_assert(sizeof(Matrix4) == 64);
    static_assert(sizeof(Vector3) == 12 && sizeof(Quaternion) == 16 && sizeof(Colour) == 16);
    static_assert(sizeof(Transform) == 40);
    Matrix4 m = translation({1, 2, 3});
    const float* flat = &m.m[0][0];
    EXPECT_EQ(flat[12], 1.0f);
    EXPECT_EQ(flat[13], 2.0f);
    EXPECT_EQ(flat[14], 3.0f);
}

TEST(Math, ProductAppliesTheLeftMatrixFirst)
{
    Matrix4 scaleThenMove = multiply(scaling({2, 2, 2}), translation({1, 0, 0}));
    expectVector(transformPoint({1, 0, 0}, scaleThenMove), {3, 0, 0});
    Matrix4 moveThenScale = multiply(translation({1, 0, 0}), scaling({2, 2, 2}));
    expectVector(transformPoint({1, 0, 0}, moveThenScale), {4, 0, 0});
    expectMatrix(multiply(identity(), moveThenScale), moveThenScale);
}

TEST(Math, ScalingLeavesOnlyTheDiagonal)
{
    Matrix4 m = scaling({2, 3, 4});
    Matrix4 expected{};
    expected.m[0][0] = 2, expected.m[1][1] = 3, expected.m[2][2] = 4, expected.m[3][3] = 1;
    expectMatrix(m, expected);
}

TEST(Math, TransformScalesThenRotatesThenTranslates)
{
    Transform t;
    t.position = {1, 2, 3};
    t.scale = {2, 2, 2};
    expectVector(transformPoint({1, 0, 0}, transformMatrix(t)), {3, 2, 3});

    // A quarter turn about z (normalised quaternion) takes scaled +x to +y before moving.
    float h = std::sqrt(0.5f);
    t.rotation = {0, 0, h, h};
    expectVector(transformPoint({1, 0, 0}, transformMatrix(t)), {1, 4, 3});
}

TEST(Math, QuaternionIsUsedUnnormalised)
{
    Matrix4 m = rotationQuaternion({1, 0, 0, 1});
    EXPECT_FLOAT_EQ(m.m[0][0], 1);
    EXPECT_FLOAT_EQ(m.m[1][1], -1);
    EXPECT_FLOAT_EQ(m.m[2][2], -1);
    EXPECT_FLOAT_EQ(m.m[1][2], 2);
    EXPECT_FLOAT_EQ(m.m[2][1], -2);
    expectMatrix(rotationQuaternion({0, 0, 0, 1}), identity());
}

TEST(Math, EulerRotationIsXThenYThenZ)
{
    float a = 0.3f, b = -0.7f, c = 1.1f;
    Matrix4 rx = rotationEuler({a, 0, 0});
    Matrix4 ry = rotationEuler({0, b, 0});
    Matrix4 rz = rotationEuler({0, 0, c});
    expectMatrix(rotationEuler({a, b, c}), multiply(multiply(rx, ry), rz));
    // Row-vector convention: a positive turn about z takes +x towards +y.
    expectVector(transformPoint({1, 0, 0}, rotationEuler({0, 0, 1.5707964f})), {0, 1, 0});
    // and about y takes +x towards -z.
    expectVector(transformPoint({1, 0, 0}, rotationEuler({0, 1.5707964f, 0})), {0, 0, -1});
}

TEST(Math, PerspectiveMatchesTheKnownProjection)
{
    Matrix4 m = perspectiveFov(60, 1.3333334f, 1, 2000);
    EXPECT_NEAR(m.m[1][1], 1.7320508f, 1e-6f);
    EXPECT_NEAR(m.m[0][0], 1.299038f, 1e-5f);
    EXPECT_NEAR(m.m[2][2], 1.00050025f, 1e-6f);
    EXPECT_NEAR(m.m[3][2], -1.00050025f, 1e-6f);
    EXPECT_EQ(m.m[2][3], 1.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
    // Depth is 0 at the near plane and 1 at the far plane.
    auto depth = [&](float z) { return (z * m.m[2][2] + m.m[3][2]) / z; };
    EXPECT_NEAR(depth(1), 0.0f, 1e-6f);
    EXPECT_NEAR(depth(2000), 1.0f, 1e-6f);
}

TEST(Math, LookAtPutsTheTargetAheadAndWorldXOnTheLeft)
{
    Matrix4 view = lookAt({0, 0, -10}, {0, 0, 0}, 0);
    expectVector(transformPoint({0, 0, 0}, view), {0, 0, 10});
    // The right axis is f × u = (-1, 0, 0): world +x lands at negative view x.
    expectVector(transformPoint({1, 0, 0}, view), {-1, 0, 10});
    expectVector(transformPoint({0, 1, 0}, view), {0, 1, 10});
}

TEST(Math, LookAtFromAnOffsetEyeKeepsTheTargetOnTheAxis)
{
    Vector3 eye{3, 4, -5}, target{-1, 2, 7};
    Matrix4 view = lookAt(eye, target, 0.4f);
    float dx = target.x - eye.x, dy = target.y - eye.y, dz = target.z - eye.z;
    float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    expectVector(transformPoint(target, view), {0, 0, distance}, 1e-4f);
    expectVector(transformPoint(eye, view), {0, 0, 0}, 1e-5f);
}

TEST(Math, LookAtRollTurnsTheImage)
{
    Matrix4 view = lookAt({0, 0, -10}, {0, 0, 0}, 1.5707964f);
    // The roll is applied after the basis: view-space up (0, 1) is turned like Rz.
    Vector3 up = transformPoint({0, 1, 0}, view);
    expectVector(up, {-1, 0, 10}, 1e-5f);
}

TEST(Math, TranslationOfReadsTheFourthRow)
{
    Matrix4 m = multiply(rotationEuler({0.2f, 0.4f, 0.6f}), translation({5, 6, 7}));
    expectVector(translationOf(m), {5, 6, 7});
}

TEST(Math, PackColourClampsScalesAndTruncates)
{
    uint32_t packed = packColour({1.5f, -0.2f, 0.5f, 1.0f});
    EXPECT_EQ(packed >> 24, 255u);
    EXPECT_EQ((packed >> 16) & 0xFF, 255u);
    EXPECT_EQ((packed >> 8) & 0xFF, 0u);
    EXPECT_EQ(packed & 0xFF, 127u);
    EXPECT_EQ(packColour({0.1f, 0.05f, 1.0f, 0.0f}), 0x00190CFFu);
    EXPECT_EQ(packColour({0, 0, 0, 0}), 0u);
    EXPECT_EQ(packColour({NAN, 0, 0, 1}), 0xFF000000u);
}

} // namespace
} // namespace tincrates

// Where the camera, the crates and the light are at a demo time, and how the music moves them.
#include "production/frame_animation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tincrates {
namespace {

const float silence[256] = {};

TEST(Motion, AtTheStartTheCameraStandsAt0_30_80AndLooksAt30_60_0)
{
    FrameAnimation frame = animateFrame(0.0f, 0, silence);
    EXPECT_FLOAT_EQ(frame.cameraPosition.x, 0.0f);
    EXPECT_FLOAT_EQ(frame.cameraPosition.y, 30.0f);
    EXPECT_FLOAT_EQ(frame.cameraPosition.z, 80.0f);
    EXPECT_FLOAT_EQ(frame.lookPoint.x, 30.0f);
    EXPECT_FLOAT_EQ(frame.lookPoint.y, 60.0f);
    EXPECT_FLOAT_EQ(frame.lookPoint.z, 0.0f);
    EXPECT_FLOAT_EQ(frame.lightPosition.x, 0.0f);
    EXPECT_FLOAT_EQ(frame.lightPosition.y, 0.0f);
    EXPECT_FLOAT_EQ(frame.lightPosition.z, 70.0f);
}

TEST(Motion, CameraAndLightFollowTheirOrbits)
{
    float t = 37.25f;
    double time = t;
    FrameAnimation frame = animateFrame(t, 0, silence);
    EXPECT_EQ(frame.cameraPosition.y, float(30.0 * std::cos(0.4 * time)));
    float px = float(-80.0 * std::sin(0.3 * time));
    EXPECT_EQ(frame.cameraPosition.x, px);
    EXPECT_EQ(frame.lookPoint.x, float(double(px) + 30.0 * std::cos(0.33 * time)));
    EXPECT_EQ(frame.lightPosition.x, float(-70.0 * std::sin(0.7 * time)));
    EXPECT_EQ(frame.lightPosition.y, -frame.lightPosition.x);
}

TEST(Motion, TheBassZoomsAndAHigherBandRolls)
{
    float spectrum[256] = {};
    EXPECT_FLOAT_EQ(animateFrame(20.0f, 1, spectrum).fieldOfViewDegrees, 80.0f);
    spectrum[51] = 0.05f;
    spectrum[127] = 0.3f;
    FrameAnimation frame = animateFrame(20.0f, 1, spectrum);
    EXPECT_FLOAT_EQ(frame.fieldOfViewDegrees, 120.0f);
    EXPECT_EQ(frame.cameraRoll, 0.3f);
}

TEST(Motion, TheCratesTurnByTPlusHalfPiMinus4AboutAUnitAxis)
{
    for (float t : {0.0f, 3.0f, 10.5f, 100.0f, 231.9f}) {
        Quaternion q = animateFrame(t, 0, silence).tumble;
        double length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z
            + double(q.w) * q.w);
        EXPECT_NEAR(length, 1.0, 1e-6) << "t = " << t;
        EXPECT_GE(q.w, 0.0f) << "t = " << t;
        // The angle is taken modulo a whole turn, as the sign of q is.
        double angle = std::remainder(double(t) + 1.5707963267948966 - 4.0, 2 * M_PI);
        EXPECT_NEAR(2.0 * std::acos(double(q.w)), std::abs(angle), 1e-3) << "t = " << t;
    }
    Quaternion still = animateFrame(float(4.0 - 1.5707963267948966), 0, silence).tumble;
    EXPECT_NEAR(still.w, 1.0f, 1e-6f);
}

TEST(Motion, TheTumbleAxisIsTheNormalisedWanderingDirection)
{
    float t = 12.0f;
    double time = t;
    Quaternion q = animateFrame(t, 0, silence).tumble;
    double ax = std::sin(0.15 * time);
    double ay = std::cos(1.0 - 0.2 * time);
    double az = std::sin(0.3 * std::sin(0.1 * time));
    double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    double axisLength = std::sqrt(ax * ax + ay * ay + az * az);
    double sign = (q.x * ax + q.y * ay + q.z * az) < 0 ? -1.0 : 1.0;
    EXPECT_NEAR(sign * q.x / length, ax / axisLength, 1e-5);
    EXPECT_NEAR(sign * q.y / length, ay / axisLength, 1e-5);
    EXPECT_NEAR(sign * q.z / length, az / axisLength, 1e-5);
}

} // namespace
} // namespace tincrates

// The demo time counts beats of the soundtrack from its playback position.
#include "production/frame_animation.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

TEST(DemoTime, CountsBeatsAt128Point94PerMinute)
{
    // 128.94 beats a minute, with 128.94 taken in single precision.
    EXPECT_EQ(beatsPerSecond, double(128.94f) / 60.0);
    EXPECT_EQ(demoTimeAt(0.0), 0.0f);
    EXPECT_EQ(demoTimeAt(1.0), 2.149f);
    EXPECT_EQ(demoTimeAt(60.0), float(60.0 * beatsPerSecond));
    EXPECT_NEAR(demoTimeAt(60.0), 128.94f, 1e-4f);
}

TEST(DemoTime, IsTheDoubleProductRoundedOnceToFloat)
{
    // One position whose product lies close to half-way between two floats: rounding the
    // factor to float first would land on the other neighbour.
    double position = 37.123456789;
    EXPECT_EQ(demoTimeAt(position), float(position * beatsPerSecond));
}

TEST(DemoTime, PassesTheEndOfTheProductionAt108Seconds)
{
    EXPECT_LE(demoTimeAt(107.9), 232.0f);
    EXPECT_GT(demoTimeAt(108.0), 232.0f);
}

} // namespace
} // namespace tincrates

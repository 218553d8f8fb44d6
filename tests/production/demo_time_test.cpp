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

// The one reader of beats that every option and command takes a demo time through.
TEST(DemoTime, BeatsAreADecimalNumberAloneAndTheProductionSpansZeroTo232)
{
    double beats = -1;
    for (const char* bad : {"", " 9", "9 ", "9x", "nan", "inf", "9,5"}) {
        EXPECT_FALSE(readBeats(bad, beats)) << '"' << bad << '"';
        EXPECT_EQ(beats, -1) << "left as it was";
    }
    EXPECT_TRUE(readBeats("96.25", beats));
    EXPECT_EQ(beats, 96.25);
    EXPECT_TRUE(readBeats("1e2", beats));
    EXPECT_EQ(beats, 100);
    EXPECT_TRUE(readBeats("-1", beats));
    EXPECT_FALSE(isWithinProduction(beats));
    EXPECT_TRUE(isWithinProduction(0) && isWithinProduction(232));
    EXPECT_FALSE(isWithinProduction(232.001));
}

} // namespace
} // namespace tincrates

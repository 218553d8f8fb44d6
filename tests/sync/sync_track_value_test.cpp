// A track's value at a fractional row, as the sync editor shows it.
#include "sync/sync_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace tincrates {
namespace {

constexpr double tolerance = 1e-6;

SyncTrack trackWith(std::initializer_list<SyncKey> keys)
{
    SyncTrack track("test");
    for (const SyncKey& key : keys)
        track.setKey(key);
    return track;
}

TEST(SyncTrackValue, NoKeysGiveZero)
{
    SyncTrack track("empty");
    EXPECT_EQ(track.valueAt(0), 0);
    EXPECT_EQ(track.valueAt(12.5), 0);
}

TEST(SyncTrackValue, SmoothThenLinearGiveTheWorkedValues)
{
    SyncTrack track = trackWith({{0, 60, KeyInterpolation::smooth},
                                 {32, 90, KeyInterpolation::linear},
                                 {64, 30, KeyInterpolation::step}});
    EXPECT_NEAR(track.valueAt(0), 60, tolerance);
    EXPECT_NEAR(track.valueAt(8), 64.6875, tolerance);
    EXPECT_NEAR(track.valueAt(16), 75, tolerance);
    EXPECT_NEAR(track.valueAt(32), 90, tolerance);
    EXPECT_NEAR(track.valueAt(48), 60, tolerance);
}

TEST(SyncTrackValue, RampBetweenStepsGivesTheWorkedValues)
{
    SyncTrack track = trackWith({{0, 0, KeyInterpolation::step},
                                 {8, 1, KeyInterpolation::ramp},
                                 {24, 0, KeyInterpolation::step}});
    EXPECT_NEAR(track.valueAt(0), 0, tolerance);
    EXPECT_NEAR(track.valueAt(8), 1, tolerance);
    EXPECT_NEAR(track.valueAt(16), 0.75, tolerance);
    EXPECT_NEAR(track.valueAt(32), 0, tolerance);
}

TEST(SyncTrackValue, BeforeTheFirstKeyIsTheFirstValue)
{
    SyncTrack track = trackWith({{10, 4, KeyInterpolation::linear}, {20, 8}});
    EXPECT_EQ(track.valueAt(0), 4);
    EXPECT_EQ(track.valueAt(9.99), 4);
    EXPECT_EQ(track.valueAt(-3), 4);
}

TEST(SyncTrackValue, AtAndAfterTheLastKeyIsTheLastValue)
{
    SyncTrack track = trackWith({{10, 4, KeyInterpolation::linear}, {20, 8, KeyInterpolation::ramp}});
    EXPECT_EQ(track.valueAt(20), 8);
    EXPECT_EQ(track.valueAt(20.5), 8);
    EXPECT_EQ(track.valueAt(1e9), 8);
}

TEST(SyncTrackValue, OneKeyHoldsEverywhere)
{
    SyncTrack track = trackWith({{5, -2.5f, KeyInterpolation::smooth}});
    EXPECT_EQ(track.valueAt(0), -2.5);
    EXPECT_EQ(track.valueAt(5), -2.5);
    EXPECT_EQ(track.valueAt(100.25), -2.5);
}

TEST(SyncTrackValue, FractionalRowsInterpolateWithinARow)
{
    SyncTrack linear = trackWith({{0, 0, KeyInterpolation::linear}, {4, 1}});
    EXPECT_NEAR(linear.valueAt(0.5), 0.125, tolerance);
    EXPECT_NEAR(linear.valueAt(3.75), 0.9375, tolerance);

    SyncTrack smooth = trackWith({{0, 0, KeyInterpolation::smooth}, {2, 1}});
    // t = 0.25: 0.0625 · 2.5
    EXPECT_NEAR(smooth.valueAt(0.5), 0.15625, tolerance);

    SyncTrack ramp = trackWith({{10, 2, KeyInterpolation::ramp}, {12, 4}});
    // t = 0.75: 2 + 2 · 0.5625
    EXPECT_NEAR(ramp.valueAt(11.5), 3.125, tolerance);
}

TEST(SyncTrackValue, AStepHoldsUntilTheNextKey)
{
    SyncTrack track = trackWith({{0, 3, KeyInterpolation::step}, {4, 7}});
    EXPECT_EQ(track.valueAt(3.999), 3);
    EXPECT_EQ(track.valueAt(4), 7);
}

TEST(SyncTrackValue, TheDifferenceIsTakenInSinglePrecision)
{
    // 1e8 − 1 is no float: in single precision the difference rounds to 1e8.
    SyncTrack track = trackWith({{0, 1, KeyInterpolation::linear}, {2, 1e8f}});
    double difference = double(1e8f - 1.0f);
    EXPECT_EQ(track.valueAt(1), 1 + difference * 0.5);
}

TEST(SyncTrackValue, ARowThatIsNoNumberGivesTheFirstValue)
{
    SyncTrack track = trackWith({{2, 6, KeyInterpolation::linear}, {4, 8}});
    EXPECT_EQ(track.valueAt(std::nan("")), 6);
}

} // namespace
} // namespace tincrates

// Which text is shown: the number of sync times the demo time has passed.
#include "production/frame_animation.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

TEST(TextIndex, ASyncTimeEqualToTheTimeHasNotPassed)
{
    EXPECT_EQ(advanceTextIndex(0, 0.0f), 0u);
    EXPECT_EQ(advanceTextIndex(0, 16.0f), 0u);
    EXPECT_EQ(advanceTextIndex(0, 16.000002f), 1u);
    EXPECT_EQ(advanceTextIndex(5, 64.5f), 5u);
    EXPECT_EQ(advanceTextIndex(5, 64.50001f), 6u);
}

TEST(TextIndex, AJumpOfTimePassesSeveralSyncTimesAtOnce)
{
    unsigned index = advanceTextIndex(0, 10.0f);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(advanceTextIndex(index, 50.0f), 4u);
}

TEST(TextIndex, NeverGoesBackAndStopsAfterTheLastSyncTime)
{
    unsigned index = advanceTextIndex(0, 100.0f);
    EXPECT_EQ(index, 10u);
    EXPECT_EQ(advanceTextIndex(index, 20.0f), 10u);
    EXPECT_EQ(advanceTextIndex(index, 168.0f), 21u);
    EXPECT_EQ(advanceTextIndex(index, 168.5f), 22u);
    EXPECT_EQ(advanceTextIndex(22, 1e9f), 22u);
}

TEST(TextIndex, FollowsEverySyncTimeOneFrameAfterAnother)
{
    // Frames every quarter beat: each sync time is passed in the first frame after it.
    unsigned index = 0;
    std::vector<float> passedAt;
    for (int frame = 0; frame <= int(endTime) * 4; ++frame) {
        float t = float(frame) * 0.25f;
        unsigned next = advanceTextIndex(index, t);
        if (next != index) {
            EXPECT_EQ(next, index + 1) << "at t = " << t;
            passedAt.push_back(t);
        }
        index = next;
    }
    ASSERT_EQ(passedAt.size(), size_t(syncTimeCount));
    for (unsigned i = 0; i < syncTimeCount; ++i) {
        EXPECT_GT(passedAt[i], syncTimes[i]);
        EXPECT_LE(passedAt[i], syncTimes[i] + 0.25f);
    }
}

} // namespace
} // namespace tincrates

#include "audio/silent_clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tincrates {
namespace {

TEST(SilentClock, FramesBeginAtTheirOwnWholeSampleOffsets)
{
    EXPECT_EQ(soundOffsetOfFrame(0, 30), 0u);
    EXPECT_EQ(soundOffsetOfFrame(1, 30), 5880u);
    EXPECT_EQ(soundOffsetOfFrame(1, 60), 2940u);
    EXPECT_EQ(soundOffsetOfFrame(1, 24), 7348u); // 1837.5 samples, rounded down
    EXPECT_EQ(soundOffsetOfFrame(3, 24), 22048u); // 5512.5 samples: no sum of rounded steps
    // A whole second of frames lands on the second at any rate: no drift.
    for (int rate : {7, 23, 24, 25, 29, 30, 60, 144}) {
        EXPECT_EQ(soundOffsetOfFrame(uint64_t(rate) * 100, rate), 100u * 176400) << rate;
        for (uint64_t frame = 0; frame < 50; ++frame)
            EXPECT_EQ(soundOffsetOfFrame(frame, rate) % 4, 0u) << rate << " " << frame;
    }
}

class SilentClockOverSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (size_t i = 0; i < sound.size(); ++i)
            sound[i] = uint8_t(i * 7);
        made = clock.factory()();
        ASSERT_EQ(made.get(), clock.output);
        clock.output->setSound(sound);
        clock.output->play();
    }

    std::vector<uint8_t> sound = std::vector<uint8_t>(4000);
    SilentClock clock;
    std::unique_ptr<AudioOutput> made;
};

TEST_F(SilentClockOverSound, StepsForwardAndPassesTheSoundBetween)
{
    auto passed = clock.stepTo(1000);
    ASSERT_EQ(passed.size(), 1000u);
    EXPECT_EQ(passed.data(), sound.data());
    passed = clock.stepTo(1600);
    ASSERT_EQ(passed.size(), 600u);
    EXPECT_EQ(passed.data(), sound.data() + 1000);
    EXPECT_EQ(clock.position(), 1600u);
}

TEST_F(SilentClockOverSound, NeverStepsBack)
{
    clock.stepTo(2000);
    EXPECT_TRUE(clock.stepTo(2000).empty());
    EXPECT_TRUE(clock.stepTo(400).empty());
    EXPECT_EQ(clock.position(), 2000u);
}

TEST_F(SilentClockOverSound, StopsAtTheEndOfTheSoundAndWhilePaused)
{
    clock.output->pause();
    EXPECT_TRUE(clock.stepTo(800).empty());
    EXPECT_EQ(clock.position(), 0u);
    clock.output->play();
    EXPECT_EQ(clock.stepTo(10000).size(), 4000u);
    EXPECT_EQ(clock.position(), 4000u);
}

TEST(SilentClock, FollowsTheOutputMadeLast)
{
    SilentClock clock;
    EXPECT_EQ(clock.output, nullptr);
    EXPECT_EQ(clock.position(), 0u);
    AudioOutputFactory factory = clock.factory();
    auto first = factory();
    auto second = factory();
    EXPECT_EQ(clock.output, second.get());
}

} // namespace
} // namespace tincrates

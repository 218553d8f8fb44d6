#include "platform/sound/audio_feed.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tincrates {
namespace {

using namespace std::chrono_literals;
using Clock = AudioFeed::Clock;

// 1,000 bytes per second keeps the arithmetic readable.
class AudioFeedTest : public ::testing::Test {
protected:
    AudioFeedTest()
    {
        std::iota(sound.begin(), sound.end(), uint8_t(1));
        feed.setSound(sound);
    }

    std::vector<uint8_t> sound = std::vector<uint8_t>(1000);
    AudioFeed feed{1000};
    Clock::time_point start = Clock::now();
    std::vector<uint8_t> buffer = std::vector<uint8_t>(400);
};

TEST_F(AudioFeedTest, HandsOutSilenceUntilPlayed)
{
    feed.fill(buffer.data(), buffer.size(), start);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 400);
    EXPECT_EQ(feed.position(start + 1s), 0u);
}

TEST_F(AudioFeedTest, PositionIsWhatWasHandedMinusWhatIsStillQueued)
{
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[399], uint8_t(400));
    EXPECT_EQ(feed.position(start), 0u);          // all 400 bytes still queued
    EXPECT_EQ(feed.position(start + 100ms), 100u); // draining in real time
    EXPECT_EQ(feed.position(start + 2s), 400u);    // never past what was handed over
    feed.fill(buffer.data(), buffer.size(), start + 400ms);
    EXPECT_EQ(buffer[0], uint8_t(401));
    EXPECT_EQ(feed.position(start + 400ms), 400u);
    EXPECT_EQ(feed.position(start + 600ms), 600u);
}

TEST_F(AudioFeedTest, StopsAtTheEndOfTheSound)
{
    feed.play();
    for (int i = 0; i < 3; ++i)
        feed.fill(buffer.data(), buffer.size(), start + i * 400ms);
    // The third buffer held the last 200 bytes and then silence.
    EXPECT_EQ(buffer[199], uint8_t(1000 % 256));
    EXPECT_EQ(std::count(buffer.begin() + 200, buffer.end(), 0), 200);
    EXPECT_EQ(feed.position(start + 800ms + 100ms), 900u);
    EXPECT_EQ(feed.position(start + 5s), 1000u);
    feed.fill(buffer.data(), buffer.size(), start + 1200ms);
    EXPECT_EQ(feed.position(start + 10s), 1000u);
}

TEST_F(AudioFeedTest, PauseHoldsWhatWasHeardAndPlayGoesOnFromThere)
{
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start);
    feed.pause(start + 100ms);
    // The 300 bytes still queued are dropped, not counted as heard.
    EXPECT_EQ(feed.position(start + 5s), 100u);
    feed.fill(buffer.data(), buffer.size(), start + 400ms);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 400);
    EXPECT_EQ(feed.position(start + 6s), 100u);
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start + 7s);
    EXPECT_EQ(buffer[0], uint8_t(101));
}

TEST_F(AudioFeedTest, SeekMovesTheClockAtOnce)
{
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start);
    feed.seek(800);
    EXPECT_EQ(feed.position(start), 800u);
    feed.fill(buffer.data(), buffer.size(), start);
    EXPECT_EQ(buffer[0], uint8_t(801));
    feed.seek(5000);
    EXPECT_EQ(feed.position(start), 1000u);
}

TEST_F(AudioFeedTest, ANewSoundStartsStoppedAtZeroAndAnEmptyOneIsSilent)
{
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start);
    feed.setSound({});
    EXPECT_EQ(feed.position(start), 0u);
    feed.play();
    feed.fill(buffer.data(), buffer.size(), start);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 400);
    EXPECT_EQ(feed.position(start + 1s), 0u);
}

} // namespace
} // namespace tincrates

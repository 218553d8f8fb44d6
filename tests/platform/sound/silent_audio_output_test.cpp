#include "platform/sound/silent_audio_output.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

TEST(SilentAudioOutput, AdvancesOnlyWhilePlaying)
{
    std::vector<uint8_t> sound(100, 7);
    SilentAudioOutput output;
    output.setSound(sound);
    EXPECT_TRUE(output.advance(40).empty());
    EXPECT_EQ(output.position(), 0u);
    EXPECT_FALSE(output.isPlaying());
    output.play();
    EXPECT_TRUE(output.isPlaying());
    auto passed = output.advance(40);
    EXPECT_EQ(passed.data(), sound.data());
    EXPECT_EQ(passed.size(), 40u);
    EXPECT_EQ(output.position(), 40u);
}

TEST(SilentAudioOutput, StepsWholeFramesAndStopsAtTheEnd)
{
    std::vector<uint8_t> sound(100);
    SilentAudioOutput output;
    output.setSound(sound);
    output.play();
    EXPECT_EQ(output.advance(7).size(), 4u); // rounded down to a 4-byte frame
    EXPECT_EQ(output.advance(3).size(), 0u);
    auto last = output.advance(1000);
    EXPECT_EQ(last.data(), sound.data() + 4);
    EXPECT_EQ(last.size(), 96u);
    EXPECT_EQ(output.position(), 100u);
    EXPECT_FALSE(output.isPlaying());
    EXPECT_TRUE(output.advance(40).empty());
}

TEST(SilentAudioOutput, SeekAndNewSound)
{
    std::vector<uint8_t> sound(100);
    SilentAudioOutput output;
    output.setSound(sound);
    output.seek(60);
    EXPECT_EQ(output.position(), 60u);
    output.seek(400);
    EXPECT_EQ(output.position(), 100u);
    output.play();
    output.setSound({});
    EXPECT_EQ(output.position(), 0u);
    EXPECT_FALSE(output.isPlaying());
}

} // namespace
} // namespace tincrates

// Making the soundtrack: the same bytes every time, and an MP3 of the agreed format.
#include "tools/cratesmith/sound/soundtrack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tincrates::cratesmith {
namespace {

std::string generatedByTheBuild()
{
    std::ifstream in(std::filesystem::path(PRODUCTION_DIR) / "data" / "soundtrk.mp3",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SoundtrackGeneration, GivesTheSameBytesAsTheBuildDid)
{
    std::string built = generatedByTheBuild();
    ASSERT_FALSE(built.empty());
    // The build ran the generator as a program; this runs it in the test's own process.
    EXPECT_TRUE(makeSoundtrack() == built);
}

TEST(SoundtrackGeneration, IsMpeg1LayerThreeAt192KbitsAnd44KhzStereo)
{
    std::string mp3 = generatedByTheBuild();
    // Every frame header after the encoder's tag frame, which comes first.
    size_t frames = 0;
    size_t at = 0;
    bool first = true;
    while (at + 4 <= mp3.size()) {
        auto byte = [&](size_t i) { return uint8_t(mp3[at + i]); };
        ASSERT_EQ(byte(0), 0xFF) << "no frame at byte " << at;
        ASSERT_EQ(byte(1) & 0xFE, 0xFA) << "not MPEG-1 layer III at byte " << at;
        int bitrateIndex = byte(2) >> 4;
        int rateIndex = (byte(2) >> 2) & 3;
        bool padded = (byte(2) >> 1) & 1;
        int channelMode = byte(3) >> 6;
        EXPECT_EQ(rateIndex, 0) << "44.1 kHz";
        EXPECT_NE(channelMode, 3) << "stereo";
        // Index 11 is 192 kbit/s for MPEG-1 layer III.
        if (!first) {
            ASSERT_EQ(bitrateIndex, 11) << "at byte " << at;
        }
        constexpr int kilobits[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256,
                                    320};
        ASSERT_GT(bitrateIndex, 0);
        ASSERT_LT(bitrateIndex, 15);
        at += size_t(144 * kilobits[bitrateIndex] * 1000 / 44100 + (padded ? 1 : 0));
        first = false;
        ++frames;
    }
    // 1152 samples a frame: 111 seconds are about 4,250 frames.
    EXPECT_GT(frames, 4200u);
}

} // namespace
} // namespace tincrates::cratesmith

#include "audio/mp3_decoder.h"

#include "audio/spectrum_analyser.h"
#include "testbed/mp3_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace tincrates {
namespace {

using testing::encodeMp3;
using testing::makeNoise;
using testing::makeSilence;
using testing::makeSine;

std::span<const uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The bin where the spectrum of 512 frames from the middle of `pcm` peaks.
size_t peakBinInTheMiddle(const std::vector<int16_t>& pcm)
{
    SpectrumAnalyser analyser;
    float magnitudes[spectrumBinCount];
    size_t middleFrame = pcm.size() / 4;
    analyser.analyse(pcm.data() + 2 * middleFrame, spectrumWindowFrames, magnitudes);
    return size_t(std::max_element(magnitudes, magnitudes + spectrumBinCount) - magnitudes);
}

TEST(Mp3Decoder, DecodesAStereoFileToExactly176400BytesPerSecond)
{
    auto mp3 = encodeMp3(makeSine(1000.0, 1.0, 0.5));
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    // The encoder's delay and padding are trimmed, so the length is the original's.
    EXPECT_EQ(pcm.size() * sizeof(int16_t), 176400u);
    EXPECT_EQ(peakBinInTheMiddle(pcm), 12u); // 1000 Hz is 11.6 bins of 86.13 Hz
}

TEST(Mp3Decoder, ConvertsAMonoFileAtHalfTheRateTo44100HzStereo)
{
    // 22,050 Hz mono: one second must still be 176,400 bytes of the production's format,
    // with the pitch kept (4392.8 Hz is the centre of bin 51 at 44.1 kHz).
    auto mp3 = encodeMp3(makeSine(4392.8, 1.0, 0.5, 22050, 1), 64);
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    EXPECT_EQ(pcm.size() * sizeof(int16_t), 176400u);
    EXPECT_EQ(peakBinInTheMiddle(pcm), 51u);
    // Mono is duplicated into both channels.
    size_t middle = pcm.size() / 2 & ~size_t(1);
    for (size_t i = middle; i < middle + 200; i += 2)
        ASSERT_EQ(pcm[i], pcm[i + 1]);
}

TEST(Mp3Decoder, ResamplesOtherRatesToo)
{
    auto mp3 = encodeMp3(makeSine(4392.8, 1.0, 0.5, 48000, 2));
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    EXPECT_EQ(pcm.size() * sizeof(int16_t), 176400u);
    EXPECT_EQ(peakBinInTheMiddle(pcm), 51u);
}

TEST(Mp3Decoder, BlocksWithoutMp3AudioGiveNoAudio)
{
    std::vector<int16_t> pcm{1, 2, 3};
    EXPECT_EQ(decodeMp3({}, pcm), Mp3DecodeResult::noAudio);
    EXPECT_TRUE(pcm.empty());

    std::string text;
    for (int line = 0; line < 200; ++line)
        text += "This is the soundtrack, honest. Line " + std::to_string(line) + ".\n";
    EXPECT_EQ(decodeMp3(bytesOf(text), pcm), Mp3DecodeResult::noAudio);

    for (uint32_t seed = 1; seed <= 8; ++seed) {
        std::mt19937 generator(seed);
        std::string noise(64 * 1024, '\0');
        for (char& byte : noise)
            byte = char(generator());
        EXPECT_EQ(decodeMp3(bytesOf(noise), pcm), Mp3DecodeResult::noAudio) << "seed " << seed;
        EXPECT_TRUE(pcm.empty());
    }
}

TEST(Mp3Decoder, ATruncatedFileDecodesUpToItsEnd)
{
    auto mp3 = encodeMp3(makeNoise(1.0, 0.3, 5));
    mp3.resize(mp3.size() / 2 + 17);
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    EXPECT_GT(pcm.size(), 44100u * 2 / 4);
    EXPECT_LT(pcm.size(), 44100u * 2);
    EXPECT_EQ(pcm.size() % 2, 0u);
}

TEST(Mp3Decoder, GarbageInTheMiddleIsSkippedNotFatal)
{
    auto mp3 = encodeMp3(makeSine(1000.0, 1.0, 0.5));
    std::mt19937 generator(3);
    for (size_t i = mp3.size() / 2; i < mp3.size() / 2 + 700; ++i)
        mp3[i] = char(generator());
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    EXPECT_GT(pcm.size(), 44100u * 2 / 2);
}

TEST(Mp3Decoder, SilenceDecodesToSilence)
{
    auto mp3 = encodeMp3(makeSilence(0.5));
    std::vector<int16_t> pcm;
    ASSERT_EQ(decodeMp3(bytesOf(mp3), pcm), Mp3DecodeResult::ok);
    EXPECT_EQ(pcm.size(), 22050u * 2);
    auto loudest = std::max_element(pcm.begin(), pcm.end(),
                                    [](int16_t a, int16_t b) { return std::abs(a) < std::abs(b); });
    EXPECT_LE(std::abs(*loudest), 2);
}

} // namespace
} // namespace tincrates

// The captured soundtrack's WAV file: whole, with sizes that count its sound, or not there at
// all under its name.
#include "tools/media/wav_writer.h"

#include "support/file_size_limit.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;

uint32_t littleEndianAt(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(bytes[offset + size_t(i)]);
    return value;
}

TEST(WavWriter, AFinishedFileCountsItsSoundAndHoldsIt)
{
    testing::ScratchDir scratch;
    std::vector<uint8_t> sound(4 * 100);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = uint8_t(i);
    WavWriter writer("soundtrack.wav");
    writer.append(sound);
    writer.append(sound);
    writer.finish();

    std::string bytes = scratch.read("soundtrack.wav");
    ASSERT_EQ(bytes.size(), 44u + 800u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(littleEndianAt(bytes, 4), 36u + 800u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(littleEndianAt(bytes, 40), 800u);
    EXPECT_EQ(bytes.substr(44, 400), std::string(sound.begin(), sound.end()));
}

TEST(WavWriter, AnUnfinishedOrFailedFileLeavesTheNameAsItWas)
{
    testing::ScratchDir scratch;
    scratch.write("soundtrack.wav", "an earlier capture");
    {
        WavWriter unfinished("soundtrack.wav");
        unfinished.append(std::vector<uint8_t>(400));
    }
    EXPECT_EQ(scratch.read("soundtrack.wav"), "an earlier capture");

    try {
        testing::FileSizeLimit limit(4096);
        WavWriter writer("soundtrack.wav");
        std::vector<uint8_t> sound(64 * 1024);
        writer.append(sound);
        writer.append(sound);
        writer.finish();
        FAIL() << "no error";
    } catch (const std::string& text) {
        EXPECT_EQ(text, "cannot write soundtrack.wav");
    }
    EXPECT_EQ(scratch.read("soundtrack.wav"), "an earlier capture");
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path), fs::directory_iterator()), 1);
}

TEST(WavWriter, AFileThatCannotBeMadeIsNamed)
{
    testing::ScratchDir scratch;
    try {
        WavWriter writer("no/such/folder/soundtrack.wav");
        FAIL() << "no error";
    } catch (const std::string& text) {
        EXPECT_EQ(text, "cannot write no/such/folder/soundtrack.wav");
    }
}

} // namespace
} // namespace tincrates

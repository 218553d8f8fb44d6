#include "audio/music_stream.h"

#include "audio/silent_clock.h"
#include "datafiles/data_file.h"
#include "support/error_of.h"
#include "testbed/mp3_maker.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <sys/resource.h>

namespace tincrates {
namespace {

using testing::encodeMp3;
using testing::errorOf;
using testing::makeSine;
using testing::ScratchDir;

const std::string& threeSecondMp3()
{
    static const std::string mp3 = encodeMp3(makeSine(4392.8, 3.0, 0.977), 96);
    return mp3;
}

std::string loadError(MusicStream& music, const std::string& name)
{
    return errorOf([&] { music.load(name, 0.0); });
}

// A music stream on the silent clock, in a scratch folder whose data/ the test fills.
class MusicStreamTest : public ::testing::Test {
protected:
    ScratchDir dir;
    SelectedSilentClock clock;
    MusicStream music{nullptr};
};

TEST_F(MusicStreamTest, AMissingFileIsReportedWithItsName)
{
    EXPECT_EQ(loadError(music, "soundtrk.mp3"), "Failed to load soundtrk.mp3\nfile not found");
    EXPECT_EQ(music.dataFile, nullptr);
    EXPECT_EQ(music.stream, 0u);
}

TEST_F(MusicStreamTest, AZeroLengthFileIsReportedAsCorrupted)
{
    dir.write("data/soundtrk.mp3", "");
    EXPECT_EQ(loadError(music, "soundtrk.mp3"),
              "Failed to load soundtrk.mp3\n"
              "Zero-length music file. File is proabelby corrupted.");
}

TEST_F(MusicStreamTest, FilesWithoutMp3AudioAreNotRecognised)
{
    std::string expected = "Failed to load soundtrk.mp3\n"
                           "The file's format is not recognised/supported.";
    std::mt19937 generator(11);
    std::string noise(20000, '\0');
    for (char& byte : noise)
        byte = char(generator());
    dir.write("data/soundtrk.mp3", noise);
    EXPECT_EQ(loadError(music, "soundtrk.mp3"), expected);

    dir.write("data/soundtrk.mp3", "<scene>\n  <object mesh=\"crate.mesh\"/>\n</scene>\n");
    EXPECT_EQ(loadError(music, "soundtrk.mp3"), expected);
    // A failed load holds on to nothing.
    EXPECT_EQ(music.dataFile, nullptr);
    EXPECT_EQ(music.stream, 0u);
}

// A stream that starts with a stretch of no whole frames at a rate other than 44.1 kHz once
// had the resampler hand libsoxr nothing to convert and no buffer, which crashed. It loads now
// (the shared fixture is read in place).
TEST_F(MusicStreamTest, AStreamStartingWithNoFramesAtAnotherRateLoads)
{
    std::filesystem::path hostile = std::filesystem::path(TINCRATES_FIXTURES_DIR) / "hostile"
        / "mp3-soxr-null-output.mp3";
    if (!std::filesystem::exists(hostile))
        GTEST_SKIP() << "fixtures not found";
    std::filesystem::create_directory("data");
    std::filesystem::create_symlink(hostile, "data/soundtrk.mp3");
    EXPECT_EQ(loadError(music, "soundtrk.mp3"), "");
    music.play();
    EXPECT_EQ(music.positionSeconds(), 0.0);
}

// Damage is not reported as absence: a soundtrack the archive holds but cannot deliver says
// why, after the words for a missing file.
TEST_F(MusicStreamTest, ASoundtrackTheArchiveCannotDeliverSaysWhy)
{
    std::ofstream(dataArchiveName, std::ios::binary) << "not an archive";
    EXPECT_EQ(loadError(music, "soundtrk.mp3"),
              "Failed to load soundtrk.mp3\nfile not found\nstashpack: not an archive");
}

TEST_F(MusicStreamTest, PlayBeforeLoadIsRefused)
{
    EXPECT_EQ(errorOf([&] { music.play(); }), "no music file loaded");
}

TEST_F(MusicStreamTest, PositionIsTheClockInSeconds)
{
    dir.write("data/soundtrk.mp3", threeSecondMp3());
    music.load("soundtrk.mp3", 0.0);
    EXPECT_NE(music.dataFile, nullptr);
    music.play();
    EXPECT_EQ(music.positionSeconds(), 0.0); // no seek for a start of 0.0
    clock.output->advance(176400);
    EXPECT_EQ(music.positionSeconds(), 1.0);
    clock.output->advance(100 * 176400);
    EXPECT_NEAR(music.positionSeconds(), 3.0, 1e-9); // stands still at the end
}

TEST_F(MusicStreamTest, PauseHoldsTheClockAndSeekMovesItWithinTheSound)
{
    dir.write("data/soundtrk.mp3", threeSecondMp3());
    music.load("soundtrk.mp3", 0.0);
    music.play();
    clock.output->advance(176400);
    music.pause();
    clock.output->advance(176400); // a paused clock passes no sound
    EXPECT_EQ(music.positionSeconds(), 1.0);
    music.seekBytes(2 * 176400);
    EXPECT_EQ(music.positionSeconds(), 2.0);
    clock.output->advance(176400);
    EXPECT_EQ(music.positionSeconds(), 2.0); // still paused after the seek
    music.resume();
    clock.output->advance(176400 / 2);
    EXPECT_EQ(music.positionSeconds(), 2.5);
    music.seekBytes(0);
    EXPECT_EQ(music.positionSeconds(), 0.0);
    music.seekBytes(uint64_t(1) << 40); // past the end: at the end
    EXPECT_EQ(BASS_ChannelGetPosition(music.stream), BASS_ChannelGetLength(music.stream));
    music.seekBytes(176401); // whole sound frames only
    EXPECT_EQ(BASS_ChannelGetPosition(music.stream), 176400u);
}

TEST_F(MusicStreamTest, PlayStartsAtTheStartOffset)
{
    dir.write("data/soundtrk.mp3", threeSecondMp3());
    music.load("soundtrk.mp3", 2.5);
    EXPECT_EQ(music.startSeconds, 2.5);
    music.play();
    EXPECT_EQ(BASS_ChannelGetPosition(music.stream), 441000u);
    EXPECT_EQ(music.positionSeconds(), 441000 * MusicStream::secondsPerByte);
}

TEST_F(MusicStreamTest, OddStartOffsetsAreSafe)
{
    dir.write("data/soundtrk.mp3", threeSecondMp3());
    music.load("soundtrk.mp3", -4.0);
    music.play();
    EXPECT_EQ(music.positionSeconds(), 0.0);
    music.load("soundtrk.mp3", 1e12); // far past the end: the seek is refused
    music.play();
    EXPECT_EQ(music.positionSeconds(), 0.0);
}

TEST_F(MusicStreamTest, SpectrumFollowsThePosition)
{
    dir.write("data/soundtrk.mp3", threeSecondMp3());
    music.load("soundtrk.mp3", 0.0);
    music.play();
    clock.output->advance(176400);
    music.fetchSpectrum();
    EXPECT_EQ(std::max_element(music.spectrum, music.spectrum + 256) - music.spectrum, 51);
    EXPECT_GE(music.spectrum[51], 0.4f);
    EXPECT_LE(music.spectrum[51], 1.0f);
    EXPECT_LT(music.spectrum[127], 0.01f);
}

TEST_F(MusicStreamTest, ASecondLoadReplacesTheFirst)
{
    dir.write("data/one.mp3", threeSecondMp3());
    dir.write("data/two.mp3", encodeMp3(makeSine(1000.0, 0.5, 0.5)));
    music.load("one.mp3", 0.0);
    HSTREAM first = music.stream;
    music.load("two.mp3", 0.0);
    EXPECT_NE(music.stream, first);
    EXPECT_EQ(BASS_ChannelGetPosition(first), QWORD(-1)); // freed
    music.play();
    clock.output->advance(10 * 176400);
    EXPECT_NEAR(music.positionSeconds(), 0.5, 1e-9);
}

// Bytes of address space the process maps now.
uint64_t mappedBytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(sysconf(_SC_PAGESIZE));
}

std::string loadUnderAMemoryLimit(MusicStream& music)
{
    uint64_t limit = mappedBytes() + 3 * 1024 * 1024;
    rlimit addressSpace{limit, limit};
    setrlimit(RLIMIT_AS, &addressSpace);
    return loadError(music, "soundtrk.mp3");
}

TEST_F(MusicStreamTest, RunningOutOfMemoryWhileDecodingIsReported)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' shadow memory cannot live under an address-space limit";
#endif
    // 30 seconds decode to 5.3 MB; the limit leaves room for the decoder but not for that.
    dir.write("data/soundtrk.mp3", encodeMp3(testing::makeSilence(30.0), 32));
    // In a child process, which the limit then binds alone.
    EXPECT_EXIT(std::_Exit(loadUnderAMemoryLimit(music) == "Failed to load soundtrk.mp3\n"
                                                           "Insufficent memory."
                               ? 0
                               : 1),
                ::testing::ExitedWithCode(0), "");
}

TEST(MusicStream, CreationFailsWhenNoOutputOpens)
{
    selectAudioOutput([]() -> std::unique_ptr<AudioOutput> { throw std::string("no device"); });
    EXPECT_EQ(errorOf([] { MusicStream music(nullptr); }), "could not init bass");
    selectAudioOutput({});
}

TEST(MusicStream, OnlyOneStreamCanHoldTheOutput)
{
    SelectedSilentClock clock;
    MusicStream music(nullptr);
    EXPECT_THROW(MusicStream second(nullptr), std::string);
}

TEST(MusicStream, EveryErrorCodeHasItsMessage)
{
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_MEM), "Insufficent memory.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_FORMAT),
                 "The sample format is not supported by the device/drivers. If the stream is "
                 "more than stereo or the BASS_SAMPLE_FLOAT flag is used, it could be that "
                 "they are not supported (ie. no WDM drivers).");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_INIT),
                 "BASS_Init has not been successfully called. This should not happen at all.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_ILLPARAM),
                 "Zero-length music file. File is proabelby corrupted.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_NO3D),
                 "Couldn't initialize 3D support for the stream.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_NOTAVAIL),
                 "Only decoding streams (BASS_STREAM_DECODE) are allowed when using the "
                 "\"no sound\" device.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_FILEFORM),
                 "The file's format is not recognised/supported.");
    EXPECT_STREQ(MusicStream::errorMessage(BASS_ERROR_SPEAKER),
                 "The device/drivers do not support the requested speaker(s), or you're "
                 "attempting to assign a stereo stream to a mono speaker.");
    for (int code : {BASS_ERROR_HANDLE, BASS_ERROR_UNKNOWN, 0, 99})
        EXPECT_STREQ(MusicStream::errorMessage(code), "Unknown or undocumented BASS-error code");
}

} // namespace
} // namespace tincrates

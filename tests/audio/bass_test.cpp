#include "audio/bass.h"

#include "audio/silent_clock.h"
#include "platform/sound/audio_output.h"
#include "testbed/mp3_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace tincrates {
namespace {

using testing::encodeMp3;
using testing::makeSilence;
using testing::makeSine;

// One second of the centre frequency of bin 51, made once per test program.
const std::string& sineMp3()
{
    static const std::string mp3 = encodeMp3(makeSine(4392.8, 1.0, 0.977));
    return mp3;
}

// The audio layer started on a silent clock for the life of a test.
class BassOnSilentClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BASS_Init(1, audioSampleRate, BASS_DEVICE_LATENCY, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }

    HSTREAM create(const std::string& mp3)
    {
        return BASS_StreamCreateFile(1, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
    }

    SelectedSilentClock clock;
};

TEST(Bass, StreamsNeedInitFirst)
{
    const std::string& mp3 = sineMp3();
    EXPECT_EQ(BASS_StreamCreateFile(1, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(Bass, InitFailsWhenNoOutputOpens)
{
    selectAudioOutput([]() -> std::unique_ptr<AudioOutput> { throw std::string("no device"); });
    EXPECT_FALSE(BASS_Init(1, audioSampleRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    selectAudioOutput([] { return std::unique_ptr<AudioOutput>(); });
    EXPECT_FALSE(BASS_Init(1, audioSampleRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    selectAudioOutput({});
}

TEST(Bass, InitTwiceOrOnAnotherDeviceFails)
{
    SelectedSilentClock clock;
    EXPECT_FALSE(BASS_Init(2, audioSampleRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    ASSERT_TRUE(BASS_Init(1, audioSampleRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_Init(1, audioSampleRate, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_TRUE(BASS_Free());
}

TEST_F(BassOnSilentClock, ErrorCodesSayWhatWasWrongWithTheBlock)
{
    const std::string& mp3 = sineMp3();
    EXPECT_EQ(BASS_StreamCreateFile(1, mp3.data(), 0, 0, BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreateFile(1, nullptr, 0, 100, BASS_STREAM_PRESCAN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreateFile(1, mp3.data(), 0, mp3.size(), 0x100), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    std::string text(3000, 'a');
    EXPECT_EQ(create(text), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);

    EXPECT_EQ(BASS_StreamCreateFile(0, "/nonexistent/soundtrk.mp3", 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);

    HSTREAM stream = create(mp3);
    EXPECT_NE(stream, 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST_F(BassOnSilentClock, UnknownAndFreedHandlesAreRefused)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_StreamFree(stream));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), QWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    float spectrum[256];
    EXPECT_EQ(BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512), DWORD(-1));
    EXPECT_FALSE(BASS_StreamPlay(stream, 1, 0));
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0));
    EXPECT_FALSE(BASS_StreamFree(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    // Handles are not reused, so a stale one cannot reach a newer stream.
    EXPECT_NE(create(sineMp3()), stream);
}

TEST_F(BassOnSilentClock, PositionMovesWithTheClockAndStopsAtTheEnd)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    ASSERT_TRUE(BASS_Start());
    ASSERT_TRUE(BASS_StreamPlay(stream, 1, 0));
    // 30 video frames per second: 5880 bytes of sound each.
    clock.output->advance(5880);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 5880u);
    clock.output->advance(10 * 176400);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 176400u);
    EXPECT_FALSE(clock.output->isPlaying());
}

TEST_F(BassOnSilentClock, SeeksAreExactAndWholeFrames)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_TRUE(BASS_StreamPlay(stream, 1, 0));
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, 88200));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 88200u);
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, 1003));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 1000u);
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, 176400));
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 176404));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 176400u);
    // Playing again with flush starts over.
    EXPECT_TRUE(BASS_StreamPlay(stream, 1, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
}

TEST_F(BassOnSilentClock, APositionSetBeforePlayIsWherePlayStartsWithoutFlush)
{
    HSTREAM stream = create(sineMp3());
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, 4000));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4000u);
    ASSERT_TRUE(BASS_StreamPlay(stream, 0, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4000u);
    clock.output->advance(400);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4400u);
}

TEST_F(BassOnSilentClock, SpectrumOfABinCentreSinePeaksAtThatBin)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_TRUE(BASS_StreamPlay(stream, 1, 0));
    clock.output->advance(176400 / 2);
    float spectrum[256];
    EXPECT_EQ(BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512), 2048u);
    EXPECT_EQ(std::max_element(spectrum, spectrum + 256) - spectrum, 51);
    EXPECT_GE(spectrum[51], 0.4f);
    EXPECT_LE(spectrum[51], 1.0f);
    EXPECT_LT(spectrum[127], 0.01f);
}

TEST_F(BassOnSilentClock, SpectrumOfSilenceIsNearZero)
{
    HSTREAM stream = create(encodeMp3(makeSilence(0.5)));
    ASSERT_TRUE(BASS_StreamPlay(stream, 1, 0));
    clock.output->advance(20000);
    float spectrum[256];
    std::fill(spectrum, spectrum + 256, 1.0f);
    BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512);
    EXPECT_LT(*std::max_element(spectrum, spectrum + 256), 1e-4f);
}

TEST_F(BassOnSilentClock, SpectrumNearTheEndUsesWhatIsLeft)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 176400 - 400));
    float spectrum[256];
    EXPECT_EQ(BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512), 400u);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 176400));
    EXPECT_EQ(BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512), 0u);
    EXPECT_EQ(*std::max_element(spectrum, spectrum + 256), 0.0f);
}

TEST_F(BassOnSilentClock, SampleDataAtThePositionMatchesWhatTheClockPasses)
{
    HSTREAM stream = create(sineMp3());
    ASSERT_TRUE(BASS_StreamPlay(stream, 1, 0));
    clock.output->advance(5880);
    std::vector<uint8_t> fetched(5880);
    ASSERT_EQ(BASS_ChannelGetData(stream, fetched.data(), 5880), 5880u);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 5880u); // fetching does not move it
    auto passed = clock.output->advance(5880);
    ASSERT_EQ(passed.size(), 5880u);
    EXPECT_TRUE(std::equal(passed.begin(), passed.end(), fetched.begin()));
    EXPECT_NE(std::count(fetched.begin(), fetched.end(), 0), 5880);

    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 176400 - 8));
    EXPECT_EQ(BASS_ChannelGetData(stream, fetched.data(), 5880), 8u);
}

TEST_F(BassOnSilentClock, PlayingAnotherStreamKeepsTheFirstOnesPlace)
{
    HSTREAM first = create(sineMp3());
    HSTREAM second = create(encodeMp3(makeSilence(0.5)));
    ASSERT_TRUE(BASS_StreamPlay(first, 1, 0));
    clock.output->advance(1000);
    ASSERT_TRUE(BASS_StreamPlay(second, 1, 0));
    clock.output->advance(400);
    EXPECT_EQ(BASS_ChannelGetPosition(first), 1000u);
    EXPECT_EQ(BASS_ChannelGetPosition(second), 400u);
    // Freeing the playing stream silences the output; the other stays usable.
    ASSERT_TRUE(BASS_StreamFree(second));
    EXPECT_TRUE(clock.output->advance(400).empty());
    EXPECT_EQ(BASS_ChannelGetPosition(first), 1000u);
}

} // namespace
} // namespace tincrates

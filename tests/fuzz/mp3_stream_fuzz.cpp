// An input as the soundtrack: a stream made from it in memory, as the music stream makes one,
// then its spectrum at the start and the stream freed.
#include "audio/bass.h"
#include "fuzz/fuzz_target.h"
#include "platform/sound/audio_output.h"
#include "platform/sound/silent_audio_output.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

TINCRATES_FUZZ_TARGET(mp3_stream)
{
    using namespace tincrates;
    static const bool isStarted = [] {
        selectAudioOutput([] { return std::make_unique<SilentAudioOutput>(); });
        return BASS_Init(1, tincrates::audioSampleRate, BASS_DEVICE_LATENCY, nullptr, nullptr) != 0;
    }();
    if (!isStarted) {
        std::fprintf(stderr, "mp3_stream: the silent output did not start\n");
        std::abort();
    }
    HSTREAM stream =
        BASS_StreamCreateFile(1, input.data(), 0, input.size(), BASS_STREAM_PRESCAN);
    if (stream == 0)
        return;
    static float spectrum[256];
    BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512);
    BASS_StreamFree(stream);
}

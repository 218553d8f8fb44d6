// Times the two hot paths of the music stream: decoding the whole soundtrack when it loads,
// and the spectrum fetched once per frame.
#include "audio/mp3_decoder.h"
#include "audio/music_stream.h"
#include "audio/silent_clock.h"

#include "testbed/mp3_maker.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace tincrates {
namespace {

// 110 seconds at 192 kbit/s, the size of the production's soundtrack: a chord over noise,
// so that the encoder spends its whole bit rate.
std::string makeSoundtrackMp3(int sampleRate)
{
    auto pcm = testing::makeNoise(110.0, 0.15, 42);
    if (sampleRate != pcm.sampleRate) {
        pcm.samples.resize(size_t(110 * sampleRate) * 2);
        pcm.sampleRate = sampleRate;
    }
    for (size_t n = 0; n < pcm.samples.size() / 2; ++n) {
        double t = double(n) / sampleRate;
        double chord = 0.0;
        for (double hz : {220.0, 277.2, 329.6, 4392.8})
            chord += 0.15 * std::sin(2.0 * std::numbers::pi * hz * t);
        for (int c = 0; c < 2; ++c) {
            double value = pcm.samples[2 * n + c] + chord * 32767.0;
            pcm.samples[2 * n + c] = int16_t(std::lround(value));
        }
    }
    return testing::encodeMp3(pcm, 192);
}

const std::string& soundtrackMp3()
{
    static const std::string mp3 = makeSoundtrackMp3(44100);
    return mp3;
}

void decode(benchmark::State& state, const std::string& mp3)
{
    std::span<const uint8_t> block(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size());
    std::vector<int16_t> pcm;
    for (auto _ : state) {
        if (decodeMp3(block, pcm) != Mp3DecodeResult::ok)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(pcm.data());
    }
    state.counters["mp3_bytes"] = double(mp3.size());
    state.counters["decoded_bytes"] = double(pcm.size() * sizeof(int16_t));
    state.counters["decoded_capacity_bytes"] = double(pcm.capacity() * sizeof(int16_t));
}

void decodeWholeSoundtrack(benchmark::State& state) { decode(state, soundtrackMp3()); }
BENCHMARK(decodeWholeSoundtrack)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same at 48 kHz, which is converted to 44.1 kHz after decoding.
void decodeAndResampleWholeSoundtrack(benchmark::State& state)
{
    static const std::string mp3 = makeSoundtrackMp3(48000);
    decode(state, mp3);
}
BENCHMARK(decodeAndResampleWholeSoundtrack)->Unit(benchmark::kMillisecond)->Iterations(5);

void fetchSpectrum(benchmark::State& state)
{
    SelectedSilentClock clock;
    {
        // The stream is made straight from memory: no data folder is needed.
        MusicStream music(nullptr);
        const std::string& mp3 = soundtrackMp3();
        music.stream = BASS_StreamCreateFile(1, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
        music.startSeconds = 0.0;
        music.play();
        for (auto _ : state) {
            // One 60 Hz video frame's worth of sound per call, as while capturing.
            // Wrap at the end, so every call analyses real sound.
            if (clock.output->advance(2940).empty())
                BASS_ChannelSetPosition(music.stream, 0);
            music.fetchSpectrum();
            benchmark::DoNotOptimize(music.spectrum[51]);
        }
    }
}
BENCHMARK(fetchSpectrum)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tincrates

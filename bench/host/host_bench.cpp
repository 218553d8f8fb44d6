// Times frames of the production's timeline at 640 × 480 on the headless device (two scene
// renders, six blur passes, the overlays, and a read-back so the renderer's work is counted):
// every frame of the whole timeline of the production cratesmith generates into
// build/production, with the median and the slowest; and repeated frames of it and of the
// host tests' small production, counting the heap allocations per frame, which should be none.
#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "host/demo_fixture.h"
#include "host/frame_animation.h"
#include "host/run_demo.h"
#include "host/timeline.h"
#include "platform/shared_device.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>

namespace {

std::atomic<uint64_t> allocationCount{0};

} // namespace

void* operator new(std::size_t size)
{
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

// The replacement above takes its blocks from malloc; the compiler cannot see that.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace tincrates {
namespace {

using namespace tincrates::testing;

// Which production the frames are of.
enum class Production { test, generated };

void timelineFrame(benchmark::State& state, Production production)
{
    ScratchDir folder;
    if (production == Production::generated) {
        std::error_code error;
        std::filesystem::copy_file(PRODUCTION_DIR "/stashpack", folder.path / "stashpack", error);
        if (error) {
            state.SkipWithError("the generated production is missing: build the target "
                                "`production` first");
            return;
        }
    } else {
        writeTestProduction(folder);
    }
    SilentClock clock;
    HeadlessDevice device(640, 480, D3DFMT_X8R8G8B8);
    publishSharedDevice(device.get());
    useLinearFiltering(*device.get());
    {
        MusicStream music(nullptr);
        music.load("soundtrk.mp3", 0.0);
        music.play();
        Timeline timeline(*device.get(), music);
        timeline.build();
        // One pixel read back per frame makes the device finish the frame's work.
        IDirect3DSurface9* pixel = nullptr;
        device->CreateOffscreenPlainSurface(
            640, 480, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &pixel, nullptr);
        IDirect3DSurface9* backBuffer = nullptr;
        device->GetRenderTarget(0, &backBuffer);

        auto frame = [&](float t) {
            device->BeginScene();
            timeline.renderFrame(t);
            device->EndScene();
            device->Present(nullptr, nullptr, nullptr, nullptr);
            device->GetRenderTargetData(backBuffer, pixel);
        };
        // The first frames make the buffers, shaders and mip chains that later frames reuse,
        // and each text's first appearance uploads its texture: show each once beforehand.
        for (float t = 0.0f; t < 232.0f; t += 2.0f)
            frame(t);

        float t = 9.0f;
        uint64_t allocationsBefore = allocationCount.load();
        for (auto _ : state) {
            frame(t);
            t += 0.07f; // about 30 frames per second of the music
            if (t > 232.0f)
                t = 9.0f;
        }
        state.counters["allocations per frame"] = benchmark::Counter(
            double(allocationCount.load() - allocationsBefore) / double(state.iterations()));
        state.counters["frames per second"] =
            benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
        backBuffer->Release();
        pixel->Release();
    }
    publishSharedDevice(nullptr);
}
// The generated production played from beat 0 to 232 at 60 frames per second of music, the
// clock moving with the frames as in capture, each frame timed alone (drawn and read back).
// A first pass at 10 frames per second makes the shaders and uploads the texts, whose first
// appearance costs extra; its slowest frame is reported apart from the steady ones.
void wholeTimeline(benchmark::State& state)
{
    ScratchDir folder;
    std::error_code error;
    std::filesystem::copy_file(PRODUCTION_DIR "/stashpack", folder.path / "stashpack", error);
    if (error) {
        state.SkipWithError("the generated production is missing: build the target "
                            "`production` first");
        return;
    }
    SilentClock clock;
    HeadlessDevice device(640, 480, D3DFMT_X8R8G8B8);
    publishSharedDevice(device.get());
    useLinearFiltering(*device.get());
    {
        MusicStream music(nullptr);
        music.load("soundtrk.mp3", 0.0);
        music.play();
        Timeline timeline(*device.get(), music);
        timeline.build();
        IDirect3DSurface9* copy = nullptr;
        device->CreateOffscreenPlainSurface(
            640, 480, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        IDirect3DSurface9* backBuffer = nullptr;
        device->GetRenderTarget(0, &backBuffer);

        // Plays the timeline at `rate` frames per music second; the time of each frame in ms.
        auto play = [&](int rate) {
            std::vector<double> times;
            clock.output->seek(0);
            for (uint64_t frame = 0;; ++frame) {
                uint64_t bytes = frame * audioSampleRate / uint64_t(rate) * audioBytesPerFrame;
                clock.output->advance(bytes - clock.output->position());
                float t = demoTimeAt(double(frame) / rate);
                if (t > 232.0f)
                    break;
                auto start = std::chrono::steady_clock::now();
                device->BeginScene();
                timeline.renderFrame(t);
                device->EndScene();
                device->Present(nullptr, nullptr, nullptr, nullptr);
                device->GetRenderTargetData(backBuffer, copy);
                times.push_back(std::chrono::duration<double, std::milli>(
                    std::chrono::steady_clock::now() - start).count());
            }
            return times;
        };
        for (auto _ : state) {
            std::vector<double> first = play(10);
            std::vector<double> steady = play(60);
            double firstSlowest = *std::max_element(first.begin(), first.end());
            auto slowest = std::max_element(steady.begin(), steady.end());
            double slowestBeat = double(demoTimeAt(double(slowest - steady.begin()) / 60));
            double slowestTime = *slowest;
            std::nth_element(steady.begin(), steady.begin() + steady.size() / 2, steady.end());
            double median = steady[steady.size() / 2];
            state.counters["frames"] = double(steady.size());
            state.counters["median ms"] = median;
            state.counters["median fps"] = 1000.0 / median;
            state.counters["slowest ms"] = slowestTime;
            state.counters["slowest at beat"] = slowestBeat;
            state.counters["first run slowest ms"] = firstSlowest;
        }
        backBuffer->Release();
        copy->Release();
    }
    publishSharedDevice(nullptr);
}
BENCHMARK(wholeTimeline)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK_CAPTURE(timelineFrame, testProduction, Production::test)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(timelineFrame, generatedProduction, Production::generated)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace tincrates

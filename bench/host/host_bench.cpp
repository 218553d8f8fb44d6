// Times one frame of the production's timeline at 640 × 480 on the headless device (two scene
// renders, six blur passes, the overlays, and a read-back so the GPU work is counted), and
// counts the heap allocations made per frame, which should be none: on the host tests' small
// production, and on the production cratesmith generates into build/production.
#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "host/demo_fixture.h"
#include "host/run_demo.h"
#include "host/timeline.h"
#include "platform/shared_device.h"

#include <benchmark/benchmark.h>

#include <atomic>
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
BENCHMARK_CAPTURE(timelineFrame, testProduction, Production::test)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(timelineFrame, generatedProduction, Production::generated)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace tincrates

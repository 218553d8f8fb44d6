// Times frames of the production's timeline on the headless device (two scene renders, six
// blur passes, the overlays, and a read-back so the renderer's work is counted): every frame
// of the whole timeline of the production cratesmith generates into build/production at
// 640 × 480, with the median and the slowest; and repeated frames of it, at 640 × 480 and at
// the sizes of today's screens (1440 × 1080 for 1080 lines, 1920 × 1440), and of the host
// tests' small production, counting the heap allocations per frame, which should be none; and
// the frame directed by every sync track, each keyed 48 times, beside the cost of working out
// the tracks alone.
#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "datafiles/data_file.h"
#include "host/run_demo.h"
#include "platform/gpu/linear_filtering.h"
#include "platform/gpu/shared_device.h"
#include "production/frame_animation.h"
#include "production/frame_tracks.h"
#include "production/timeline.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"
#include "testbed/test_production.h"

#include "testbed/allocation_count.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tincrates {
namespace {

using namespace tincrates::testing;

// Which production the frames are of.
enum class Production { test, generated };

// A production built and ready to play on the headless device, its music on a silent clock
// that the benchmark moves. `isReady` is false when the generated production was not built.
class ProductionRun {
public:
    explicit ProductionRun(Production production, UINT width = 640, UINT height = 480)
        : device(width, height, D3DFMT_X8R8G8B8)
    {
        std::error_code error;
        if (production == Production::generated)
            std::filesystem::copy_file(std::filesystem::path(PRODUCTION_DIR) / dataArchiveName,
                folder.path / dataArchiveName, error);
        else
            writeTestProduction(folder);
        isReady = !error;
        if (!isReady)
            return;
        publishSharedDevice(device.get());
        useLinearFiltering(*device.get());
        music.emplace(nullptr);
        music->load(soundtrackFileName, 0.0);
        music->play();
        timeline.emplace(*device.get(), *music);
        timeline->build();
        device->CreateOffscreenPlainSurface(
            width, height, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        device->GetRenderTarget(0, &backBuffer);
    }
    ~ProductionRun()
    {
        if (!isReady)
            return;
        backBuffer->Release();
        copy->Release();
        timeline.reset();
        music.reset();
        publishSharedDevice(nullptr);
    }
    ProductionRun(const ProductionRun&) = delete;
    ProductionRun& operator=(const ProductionRun&) = delete;

    // Draws the frame at demo time t and reads it back, which makes the device finish it.
    void frame(float t)
    {
        device->BeginScene();
        timeline->renderFrame(t);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        device->GetRenderTargetData(backBuffer, copy);
    }

    // Directs the frames from now on with `tracks`.
    void direct(FrameTracks tracks) { timeline->direct(std::move(tracks)); }

    bool isReady = false;
    ScratchDir folder;
    SelectedSilentClock clock;

private:
    HeadlessDevice device;
    std::optional<MusicStream> music;
    std::optional<Timeline> timeline;
    IDirect3DSurface9* copy = nullptr;
    IDirect3DSurface9* backBuffer = nullptr;
};

constexpr const char* missingProduction
    = "the generated production is missing: build the target `production` first";

// Every track keyed every 4 beats over the production's first 192 beats, with every kind of
// interpolation, values within each track's usual range (texts 0 to 22).
FrameTracks everyTrackKeyed()
{
    std::vector<SyncTrack> tracks;
    for (const FrameTrackName& name : frameTrackNames) {
        SyncTrack& track = tracks.emplace_back(name.name);
        const bool isText = track.name() == "text";
        for (uint32_t k = 0; k < 48; ++k)
            track.setKey({k * 32, isText ? float(k % 23) : float(k % 7) * 0.15f,
                isText ? KeyInterpolation::step : KeyInterpolation(k % 4)});
    }
    return FrameTracks::fromTracks(tracks);
}

void timelineFrame(benchmark::State& state, Production production, bool isDirected = false)
{
    ProductionRun run(production, UINT(state.range(0)), UINT(state.range(1)));
    if (!run.isReady) {
        state.SkipWithError(missingProduction);
        return;
    }
    if (isDirected)
        run.direct(everyTrackKeyed());
    // The first frames make the buffers, shaders and mip chains that later frames reuse, and
    // each text's first appearance uploads its texture: show each once beforehand.
    for (float t = 0.0f; t < endTime; t += 2.0f)
        run.frame(t);

    float t = 9.0f;
    uint64_t allocationsBefore = allocationCount();
    for (auto _ : state) {
        run.frame(t);
        t += 0.07f; // about 30 frames per second of the music
        if (t > endTime)
            t = 9.0f;
    }
    state.counters["allocations per frame"] = benchmark::Counter(
        double(allocationCount() - allocationsBefore) / double(state.iterations()));
    state.counters["frames per second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The generated production played from beat 0 to its end at 60 frames per second of music, the
// clock moving with the frames as in capture, each frame timed alone (drawn and read back).
// A first pass at 10 frames per second makes the shaders and uploads the texts, whose first
// appearance costs extra; its slowest frame is reported apart from the steady ones.
void wholeTimeline(benchmark::State& state)
{
    ProductionRun run(Production::generated);
    if (!run.isReady) {
        state.SkipWithError(missingProduction);
        return;
    }
    // Plays the timeline at `rate` frames per music second; the time of each frame in ms.
    auto play = [&run](int rate) {
        std::vector<double> times;
        SilentClock& clock = run.clock;
        clock.output->seek(0);
        for (uint64_t frame = 0;; ++frame) {
            clock.stepTo(soundOffsetOfFrame(frame, rate));
            float t = demoTimeAt(double(frame) / rate);
            if (t > endTime)
                break;
            auto start = std::chrono::steady_clock::now();
            run.frame(t);
            times.push_back(std::chrono::duration<double, std::milli>(
                std::chrono::steady_clock::now() - start).count());
        }
        return times;
    };
    for (auto _ : state) {
        std::vector<double> first = play(10);
        std::vector<double> steady = play(60);
        auto slowest = std::max_element(steady.begin(), steady.end());
        state.counters["slowest ms"] = *slowest;
        state.counters["slowest at beat"] = demoTimeAt(double(slowest - steady.begin()) / 60);
        state.counters["first run slowest ms"] = *std::max_element(first.begin(), first.end());
        std::nth_element(steady.begin(), steady.begin() + steady.size() / 2, steady.end());
        double median = steady[steady.size() / 2];
        state.counters["frames"] = double(steady.size());
        state.counters["median ms"] = median;
        state.counters["median fps"] = 1000.0 / median;
    }
}
BENCHMARK(wholeTimeline)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK_CAPTURE(timelineFrame, testProduction, Production::test)
    ->Args({640, 480})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(timelineFrame, generatedProduction, Production::generated)
    ->Args({640, 480})
    ->Args({1440, 1080})
    ->Args({1920, 1440})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(timelineFrame, generatedProductionDirected, Production::generated, true)
    ->Args({640, 480})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Working out every keyed track for one frame, alone: what directing adds to a frame.
void frameTracksDirect(benchmark::State& state)
{
    const FrameTracks tracks = everyTrackKeyed();
    const float silence[256] = {};
    FrameAnimation frame = animateFrame(9.0f, 0, silence);
    float t = 9.0f;
    uint64_t allocationsBefore = allocationCount();
    for (auto _ : state) {
        tracks.direct(frame, t);
        benchmark::DoNotOptimize(frame);
        t += 0.07f;
        if (t > endTime)
            t = 9.0f;
    }
    state.counters["allocations per frame"] = benchmark::Counter(
        double(allocationCount() - allocationsBefore) / double(state.iterations()));
}
BENCHMARK(frameTracksDirect)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tincrates

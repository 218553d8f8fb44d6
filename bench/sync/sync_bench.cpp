// Times what a frame asks of the sync tracks: the values of ~30 tracks of ~50 keys each at a
// fractional row, and counts the heap allocations that takes, which should be none.
#include "sync/sync_track.h"

#include "testbed/allocation_count.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace tincrates {
namespace {

using tincrates::testing::allocationCount;

constexpr int trackCount = 30;
constexpr int keysPerTrack = 50;
// A production of ~230 beats at 8 rows a beat.
constexpr uint32_t rowsInProduction = 1856;

std::vector<SyncTrack> makeTracks()
{
    std::mt19937 random(1338);
    std::vector<SyncTrack> tracks;
    for (int t = 0; t < trackCount; ++t) {
        SyncTrack track("page:track" + std::to_string(t));
        for (int k = 0; k < keysPerTrack; ++k) {
            uint32_t row = uint32_t(k) * (rowsInProduction / keysPerTrack)
                + std::uniform_int_distribution<uint32_t>(0, 7)(random);
            float value = std::uniform_real_distribution<float>(-100, 100)(random);
            auto interpolation = KeyInterpolation(std::uniform_int_distribution<int>(0, 3)(random));
            track.setKey({row, value, interpolation});
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

// All tracks at one row per iteration, the row moving on as a playing production's does.
void allTracksAtARow(benchmark::State& state)
{
    std::vector<SyncTrack> tracks = makeTracks();
    double row = 0.37;
    double sum = 0;
    uint64_t allocationsBefore = allocationCount();
    for (auto _ : state) {
        for (const SyncTrack& track : tracks)
            sum += track.valueAt(row);
        row += 0.93;
        if (row >= rowsInProduction)
            row -= rowsInProduction;
        benchmark::DoNotOptimize(sum);
    }
    state.counters["allocations per frame"] = benchmark::Counter(
        double(allocationCount() - allocationsBefore) / double(state.iterations()));
    state.counters["tracks"] = trackCount;
    state.counters["keys per track"] = keysPerTrack;
}
BENCHMARK(allTracksAtARow);

} // namespace
} // namespace tincrates

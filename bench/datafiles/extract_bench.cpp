// Extraction throughput of one 8 MiB compressed member from an archive in the page cache,
// through the production's lookup: LZ mode, LZ with encryption, and multimedia mode; and
// Debian's unar extracting the same members, timed the same way, for comparison. Then the
// whole `stash extract` process beside the whole unar process, writing a 24 MiB member (LZ,
// plain and encrypted) and 8 MiB of sound to a file: wall and CPU time and peak memory.
#include "datafiles/archive_reader.h"
#include "datafiles/archive_writer.h"
#include "datafiles/data_file.h"
#include "datafiles/rar20_cipher.h"
#include "process_run.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;

constexpr size_t memberSize = 8u << 20;
constexpr size_t largeMemberSize = 24u << 20;
// The production's own password: what the cipher costs on its archive.
constexpr const char* password = dataArchivePassword;

// Mixed content as a production's data files mix it: text, structured binary, stretches that
// repeat with small changes, and a little that does not compress at all.
std::vector<uint8_t> mixedContent(size_t size = memberSize)
{
    std::mt19937 random(7);
    std::vector<uint8_t> out;
    out.reserve(size);
    const char* words[] = {"crate", "tumbles", "through", "the", "fog", "light", "falls", "on",
                           "a", "wooden", "edge", "and", "glows", "beat", "flash", "scene",
                           "<material", "texture=\"", "colour", "0.25", "1.0", "/>", "\n  "};
    while (out.size() < size * 3 / 8) {
        const char* word = words[random() % std::size(words)];
        out.insert(out.end(), word, word + std::strlen(word));
        out.push_back(random() % 7 ? ' ' : '\n');
    }
    while (out.size() < size * 6 / 8) {
        // Records of small numbers and float-like bytes, as in mesh files.
        uint32_t record[8];
        for (auto& field : record)
            field = random() % 4 ? random() % 300 : random();
        auto* bytes = reinterpret_cast<uint8_t*>(record);
        out.insert(out.end(), bytes, bytes + sizeof record);
    }
    std::vector<uint8_t> pattern(4096);
    for (auto& b : pattern)
        b = uint8_t(random());
    while (out.size() < size * 15 / 16) {
        pattern[random() % pattern.size()] = uint8_t(random());
        out.insert(out.end(), pattern.begin(), pattern.end());
    }
    while (out.size() < size)
        out.push_back(uint8_t(random()));
    out.resize(size);
    return out;
}

// 16-bit stereo sound: a chord with a little noise, which the multimedia mode predicts well.
std::vector<uint8_t> soundContent()
{
    std::mt19937 random(8);
    std::normal_distribution<double> noise(0.0, 40.0);
    std::vector<uint8_t> out(memberSize);
    for (size_t n = 0; n < memberSize / 4; ++n) {
        double t = double(n) / 44100.0;
        for (int c = 0; c < 2; ++c) {
            double value = 0.0;
            for (double hz : {220.0, 277.2, 329.6})
                value += 6000.0 * std::sin(2.0 * std::numbers::pi * hz * t + c);
            auto sample = int16_t(std::lround(value + noise(random)));
            out[4 * n + 2 * size_t(c)] = uint8_t(sample);
            out[4 * n + 2 * size_t(c) + 1] = uint8_t(uint16_t(sample) >> 8);
        }
    }
    return out;
}

struct BenchArchives {
    fs::path folder;
    fs::path lz, encrypted, audio;
    fs::path largeLz, largeEncrypted; // made on first use, for the whole-process runs

    BenchArchives()
    {
        folder = fs::temp_directory_path() / "tincrates-extract-bench";
        fs::create_directories(folder);
        lz = folder / "lz.rar";
        encrypted = folder / "encrypted.rar";
        audio = folder / "audio.rar";
        largeLz = folder / "large-lz.rar";
        largeEncrypted = folder / "large-encrypted.rar";
        auto mixed = mixedContent();
        write(lz, mixed, {});
        write(encrypted, mixed, password);
        write(audio, soundContent(), {});
    }

    void makeLarge() const
    {
        if (fs::exists(largeEncrypted))
            return;
        auto mixed = mixedContent(largeMemberSize);
        write(largeLz, mixed, {});
        write(largeEncrypted, mixed, password);
    }
    ~BenchArchives()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static void write(const fs::path& path, const std::vector<uint8_t>& content,
                      const std::string& withPassword)
    {
        ArchiveSettings settings;
        settings.level = 3;
        settings.password = withPassword;
        ArchiveWriter writer(path.string(), settings);
        writer.addMember("member.bin", content, 0);
        writer.finish();
    }
};

const BenchArchives& archives()
{
    static const BenchArchives made;
    return made;
}

void extractWithReader(benchmark::State& state, const fs::path& archive, const char* withPassword)
{
    uint32_t size = 0;
    for (auto _ : state) {
        uint8_t* data = nullptr;
        if (!getArchiveMember(&data, &size, "member.bin", archive.c_str(), withPassword)) {
            state.SkipWithError("extraction failed");
            return;
        }
        benchmark::DoNotOptimize(data);
        std::free(data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["packed_bytes"] = double(fs::file_size(archive));
}

void extractWithUnar(benchmark::State& state, const fs::path& archive, const char* withPassword)
{
    std::string command = "unar -q -f -o " + (archives().folder / "unar").string();
    if (withPassword)
        command += std::string(" -p ") + withPassword;
    command += " " + archive.string() + " >/dev/null 2>&1";
    if (std::system("command -v unar >/dev/null 2>&1") != 0) {
        state.SkipWithError("unar is not installed");
        return;
    }
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("unar failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(memberSize));
}

void readerLz(benchmark::State& state) { extractWithReader(state, archives().lz, nullptr); }
void readerEncrypted(benchmark::State& state)
{
    extractWithReader(state, archives().encrypted, password);
}
void readerAudio(benchmark::State& state) { extractWithReader(state, archives().audio, nullptr); }
void unarLz(benchmark::State& state) { extractWithUnar(state, archives().lz, nullptr); }
void unarEncrypted(benchmark::State& state)
{
    extractWithUnar(state, archives().encrypted, password);
}
void unarAudio(benchmark::State& state) { extractWithUnar(state, archives().audio, nullptr); }

// One archive tool extracting member.bin from `archive` to a file, as its own process.
// Manual time is the wall time; cpu_s and peak_MiB are the process's CPU time and largest
// resident set.
void extractProcess(benchmark::State& state, bool isStash, const fs::path& archive,
                    const char* withPassword)
{
    archives().makeLarge();
    fs::path output = archives().folder / "out";
    std::vector<std::string> command;
    if (isStash) {
        if (!fs::exists(bench::stashProgram())) {
            state.SkipWithError("stash is not built beside the benchmark");
            return;
        }
        command = {bench::stashProgram().string(), "extract", archive.string(), "member.bin",
                   "-o", (output / "member.bin").string()};
        if (withPassword)
            command.insert(command.end(), {"-p", withPassword});
    } else {
        if (!bench::isInstalled("unar")) {
            state.SkipWithError("unar is not installed");
            return;
        }
        command = {"unar", "-q", "-f", "-o", output.string()};
        if (withPassword)
            command.insert(command.end(), {"-p", withPassword});
        command.push_back(archive.string());
    }
    fs::create_directories(output);
    double cpuSeconds = 0, peakMiB = 0;
    for (auto _ : state) {
        bench::ProcessRun run = bench::runProcess(command);
        if (!run.isOk) {
            state.SkipWithError("extraction failed");
            return;
        }
        state.SetIterationTime(run.wallSeconds);
        cpuSeconds += run.cpuSeconds;
        peakMiB = std::max(peakMiB, run.peakMiB);
    }
    uintmax_t size = fs::file_size(output / "member.bin");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
    state.counters["cpu_s"] = cpuSeconds / double(state.iterations());
    state.counters["peak_MiB"] = peakMiB;
}

void stashProcessLz24(benchmark::State& state)
{
    extractProcess(state, true, archives().largeLz, nullptr);
}
void unarProcessLz24(benchmark::State& state)
{
    extractProcess(state, false, archives().largeLz, nullptr);
}
void stashProcessEncrypted24(benchmark::State& state)
{
    extractProcess(state, true, archives().largeEncrypted, password);
}
void unarProcessEncrypted24(benchmark::State& state)
{
    extractProcess(state, false, archives().largeEncrypted, password);
}
void stashProcessAudio8(benchmark::State& state)
{
    extractProcess(state, true, archives().audio, nullptr);
}
void unarProcessAudio8(benchmark::State& state)
{
    extractProcess(state, false, archives().audio, nullptr);
}

// Medians of repeated runs; --benchmark_enable_random_interleaving=true alternates them.
#define TINCRATES_PROCESS_BENCHMARK(name)                                                  \
    BENCHMARK(name)                                                                        \
        ->UseManualTime()                                                                  \
        ->Unit(benchmark::kMillisecond)                                                    \
        ->Iterations(1)                                                                    \
        ->Repetitions(3)                                                                   \
        ->ReportAggregatesOnly(true)
TINCRATES_PROCESS_BENCHMARK(stashProcessLz24);
TINCRATES_PROCESS_BENCHMARK(unarProcessLz24);
TINCRATES_PROCESS_BENCHMARK(stashProcessEncrypted24);
TINCRATES_PROCESS_BENCHMARK(unarProcessEncrypted24);
TINCRATES_PROCESS_BENCHMARK(stashProcessAudio8);
TINCRATES_PROCESS_BENCHMARK(unarProcessAudio8);

// The cipher alone, decrypting 8 MiB of packed data in the readers' 8,160-byte chunks.
void decryptPacked(benchmark::State& state)
{
    std::vector<uint8_t> packed(memberSize);
    std::mt19937 random(9);
    for (auto& b : packed)
        b = uint8_t(random());
    Rar20Cipher cipher;
    for (auto _ : state) {
        cipher.setupKeys(password);
        for (size_t at = 0; at < packed.size(); at += 8160) {
            size_t count = std::min<size_t>(8160, packed.size() - at);
            cipher.decryptBlocks(packed.data() + at, count / 16);
        }
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(packed.size()));
}
BENCHMARK(decryptPacked)->Unit(benchmark::kMillisecond);

// Wall-clock time, so that unar's run in its own process counts in full.
BENCHMARK(readerLz)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(unarLz)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(readerEncrypted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(unarEncrypted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(readerAudio)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(unarAudio)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tincrates

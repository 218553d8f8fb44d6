// Packing speed and size of `stash create` levels on a corpus of the project's own sources,
// build outputs and PCM sound, against gzip -6 and -9 (zlib) on the same files; and the whole
// `stash create` process beside the whole gzip -6 process on 8 MB of programs and
// documentation from /usr.
#include "datafiles/archive_writer.h"
#include "process_run.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct CorpusFile {
    std::string name;
    Bytes content;
};

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// 16-bit stereo sound: two tones, a decaying chord and some noise, 4 MiB.
Bytes pcmSound()
{
    std::mt19937 random(1);
    Bytes bytes;
    for (size_t frame = 0; bytes.size() < 4 * 1048576; ++frame) {
        double t = double(frame) / 44100.0;
        double chord = std::exp(-std::fmod(t, 0.5) * 6) * 6000
            * (std::sin(t * 2 * M_PI * 220) + 0.5 * std::sin(t * 2 * M_PI * 277));
        int left = int(chord + 3000 * std::sin(t * 2 * M_PI * 55)) + int(random() % 65) - 32;
        int right = int(chord * 0.8) + int(random() % 65) - 32;
        for (int sample : {left, right}) {
            bytes.push_back(uint8_t(sample));
            bytes.push_back(uint8_t(sample >> 8));
        }
    }
    return bytes;
}

// Sources and build outputs; `withSound` adds the PCM file.
std::vector<CorpusFile> loadCorpus(bool withSound)
{
    {
        std::vector<CorpusFile> found;
        fs::path root = TINCRATES_SOURCE_DIR;
        for (const char* folder : {"datafiles", "scene", "assets", "audio", "platform", "post",
                                   "host", "tools", "tests"}) {
            if (!fs::exists(root / folder))
                continue;
            for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
                auto extension = entry.path().extension();
                if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h"))
                    found.push_back({entry.path().string(), readFile(entry.path())});
            }
        }
        fs::path self = fs::read_symlink("/proc/self/exe");
        found.push_back({"bench program", readFile(self)});
        fs::path library = self.parent_path().parent_path() / "lib" / "libtincrates_datafiles.a";
        if (fs::exists(library))
            found.push_back({"datafiles library", readFile(library)});
        if (withSound)
            found.push_back({"sound.raw", pcmSound()});
        return found;
    }
}

const std::vector<CorpusFile>& corpus(bool withSound)
{
    static const std::vector<CorpusFile> mixed = loadCorpus(true);
    static const std::vector<CorpusFile> plain = loadCorpus(false);
    return withSound ? mixed : plain;
}

size_t corpusBytes(bool withSound)
{
    size_t total = 0;
    for (const CorpusFile& file : corpus(withSound))
        total += file.content.size();
    return total;
}

// Size of the files as gzip would write them, one .gz per file.
size_t gzipSize(int level, const std::vector<CorpusFile>& files)
{
    size_t total = 0;
    for (const CorpusFile& file : files) {
        z_stream stream{};
        deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        Bytes out(deflateBound(&stream, uLong(file.content.size())) + 64);
        stream.next_in = const_cast<Bytef*>(file.content.data());
        stream.avail_in = uInt(file.content.size());
        stream.next_out = out.data();
        stream.avail_out = uInt(out.size());
        deflate(&stream, Z_FINISH);
        total += stream.total_out;
        deflateEnd(&stream);
    }
    return total;
}

// Arguments: level, solid (0 or 1), sound file included (0 or 1).
void packCorpus(benchmark::State& state)
{
    int level = int(state.range(0));
    bool isSolid = state.range(1) != 0;
    bool withSound = state.range(2) != 0;
    const std::vector<CorpusFile>& files = corpus(withSound);
    std::string path = (fs::temp_directory_path() / "tincrates-compress-bench.rar").string();
    for (auto _ : state) {
        tincrates::ArchiveWriter writer(path, {level, isSolid, ""});
        int index = 0;
        for (const CorpusFile& file : files)
            writer.addMember("f" + std::to_string(index++), file.content, 0);
        writer.finish();
    }
    double archive = double(fs::file_size(path));
    fs::remove(path);
    size_t input = corpusBytes(withSound);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input));
    state.counters["input"] = double(input);
    state.counters["archive"] = archive;
    state.counters["vs_gzip6"] = archive / double(gzipSize(6, corpus(withSound)));
    state.counters["vs_gzip9"] = archive / double(gzipSize(9, corpus(withSound)));
}

BENCHMARK(packCorpus)
    ->ArgsProduct({{1, 2, 3, 4, 5}, {0, 1}, {1}})
    ->ArgsProduct({{3, 5}, {0}, {0}})
    ->ArgNames({"level", "solid", "sound"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// 8 MB of programs and documentation from /usr, written to a folder once: the first
// 5,000,000 bytes of cmake (the build's own tool, so on every machine that builds this) and
// the documentation in /usr/share/doc that is not gzipped, in path order, up to 3,000,000
// bytes.
struct UsrCorpus {
    fs::path folder = fs::temp_directory_path() / "tincrates-compress-bench-usr";
    std::vector<CorpusFile> files; // as written, for the gzip sizes
    std::vector<std::string> paths;

    UsrCorpus()
    {
        fs::remove_all(folder);
        fs::create_directories(folder / "doc");
        Bytes program = readFile("/usr/bin/cmake");
        program.resize(std::min<size_t>(program.size(), 5000000));
        add("cmake.part", std::move(program));
        std::vector<fs::path> documents;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator("/usr/share/doc", error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file() && !it->is_symlink() && it->path().extension() != ".gz")
                documents.push_back(it->path());
        }
        std::sort(documents.begin(), documents.end());
        size_t total = 0;
        for (const fs::path& document : documents) {
            uintmax_t size = fs::file_size(document, error);
            if (error || size >= 1000000 || total + size >= 3000000)
                continue;
            std::string name = fs::relative(document, "/usr/share/doc").string();
            std::replace(name.begin(), name.end(), '/', '_');
            add("doc/" + name, readFile(document));
            total += size;
        }
    }
    ~UsrCorpus()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void add(const std::string& name, Bytes content)
    {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
        paths.push_back((folder / name).string());
        files.push_back({name, std::move(content)});
    }

    size_t bytes() const
    {
        size_t total = 0;
        for (const CorpusFile& file : files)
            total += file.content.size();
        return total;
    }

    size_t gzipSize(int level) const { return ::gzipSize(level, files); }
};

const UsrCorpus& usrCorpus()
{
    static const UsrCorpus made;
    return made;
}

// Times one packing process on the /usr corpus: manual time is the wall time, cpu_s the
// process's CPU time and MiB_per_cpu_s the input over it.
void timeProcess(benchmark::State& state, const std::vector<std::string>& command,
                 const std::string& output)
{
    const UsrCorpus& corpus = usrCorpus();
    double cpuSeconds = 0;
    for (auto _ : state) {
        tincrates::bench::ProcessRun run = tincrates::bench::runProcess(command, output);
        if (!run.isOk) {
            state.SkipWithError("packing failed");
            return;
        }
        state.SetIterationTime(run.wallSeconds);
        cpuSeconds += run.cpuSeconds;
    }
    cpuSeconds /= double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(corpus.bytes()));
    state.counters["input"] = double(corpus.bytes());
    state.counters["cpu_s"] = cpuSeconds;
    state.counters["MiB_per_cpu_s"] = double(corpus.bytes()) / 1048576.0 / cpuSeconds;
}

// Argument: level.
void stashCreateUsr(benchmark::State& state)
{
    if (!fs::exists(tincrates::bench::stashProgram())) {
        state.SkipWithError("stash is not built beside the benchmark");
        return;
    }
    const UsrCorpus& corpus = usrCorpus();
    std::string archive = (fs::temp_directory_path() / "tincrates-compress-bench-usr.rar").string();
    timeProcess(state,
                {tincrates::bench::stashProgram().string(), "create", archive,
                 "-m" + std::to_string(state.range(0)), "-C", corpus.folder.string(), "."},
                "/dev/null");
    if (fs::exists(archive)) {
        state.counters["archive"] = double(fs::file_size(archive));
        state.counters["vs_gzip6"] = double(fs::file_size(archive)) / double(corpus.gzipSize(6));
        fs::remove(archive);
    }
}

// gzip -6 over the same files in one process, its output thrown away.
void gzipUsr(benchmark::State& state)
{
    if (!tincrates::bench::isInstalled("gzip")) {
        state.SkipWithError("gzip is not installed");
        return;
    }
    std::vector<std::string> command = {"gzip", "-6", "-c"};
    const UsrCorpus& corpus = usrCorpus();
    command.insert(command.end(), corpus.paths.begin(), corpus.paths.end());
    timeProcess(state, command, "/dev/null");
    state.counters["archive"] = double(corpus.gzipSize(6));
}

// Medians of repeated runs; --benchmark_enable_random_interleaving=true alternates them.
BENCHMARK(stashCreateUsr)
    ->Arg(3)
    ->Arg(1)
    ->ArgName("level")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(gzipUsr)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

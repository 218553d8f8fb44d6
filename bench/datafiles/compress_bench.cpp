// Packing speed and size of `stash create` levels on a corpus of the project's own sources,
// build outputs and PCM sound, against gzip -6 and -9 (zlib) on the same files.
#include "datafiles/archive_writer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

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
size_t gzipSize(int level, bool withSound)
{
    size_t total = 0;
    for (const CorpusFile& file : corpus(withSound)) {
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
    state.counters["vs_gzip6"] = archive / double(gzipSize(6, withSound));
    state.counters["vs_gzip9"] = archive / double(gzipSize(9, withSound));
}

BENCHMARK(packCorpus)
    ->ArgsProduct({{1, 2, 3, 4, 5}, {0, 1}, {1}})
    ->ArgsProduct({{3, 5}, {0}, {0}})
    ->ArgNames({"level", "solid", "sound"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

} // namespace

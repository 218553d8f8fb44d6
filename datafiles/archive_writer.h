// Writing side of the RAR 2.x container: marker, main header and one file header per member,
// with stored or RAR 2.0-compressed data, optionally encrypted and solid.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tincrates {

class ReplacingFile;

namespace rar20 {
class Rar20Compressor;
}

struct ArchiveSettings {
    int level = 3;        // 0 = store only, 1 (fastest) to 5 (smallest)
    bool isSolid = false; // members continue one another's compression state
    std::string password; // empty = no encryption
};

// The DOS date and time (local time) that file headers carry for `time`.
uint32_t dosTime(std::time_t time);

// One archive being written. Owns its file; members go in as they are added.
class ArchiveWriter {
public:
    // Starts the archive `path` and writes the marker and main header. The archive is written
    // under a temporary name beside `path` and takes its place at finish(); until then, and
    // after any failure, a file that was at `path` stays as it was. Throws std::runtime_error
    // with a one-line message when the file cannot be created or written.
    ArchiveWriter(const std::string& path, const ArchiveSettings& settings);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Adds `content` as member `name` ("\" between folders) with the DOS time `time`. In a
    // solid archive empty members are written last, at finish().
    // `progress`, when given, hears now and then how many bytes of `content` are done.
    // Throws std::runtime_error when the archive cannot be written or the member is too
    // large for the format.
    void addMember(const std::string& name, std::span<const uint8_t> content, uint32_t time,
                   const std::function<void(size_t)>& progress = {});

    // Writes everything out, closes the file and puts it at the archive's path. Throws
    // std::runtime_error on failure. An archive never finished is removed when the writer goes.
    void finish();

private:
    struct DeferredMember {
        std::string name;
        uint32_t time;
    };

    void writeMember(const std::string& name, std::span<const uint8_t> content, uint32_t time,
                     const std::function<void(size_t)>& progress);
    void writeBytes(std::span<const uint8_t> bytes);

    std::string path;
    ArchiveSettings settings;
    std::unique_ptr<ReplacingFile> output;
    std::FILE* file; // output's stream while the archive is open; null once finished
    std::unique_ptr<rar20::Rar20Compressor> compressor;
    std::vector<DeferredMember> deferredEmpty;
};

} // namespace tincrates

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
    // Creates `path` (replacing it) and writes the marker and main header. Throws
    // std::runtime_error with a one-line message when the file cannot be created or written.
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

    // Writes everything out and closes the file. Throws std::runtime_error on failure.
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
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file;
    std::unique_ptr<rar20::Rar20Compressor> compressor;
    std::vector<DeferredMember> deferredEmpty;
};

} // namespace tincrates

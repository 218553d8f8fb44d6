// Writes the captured soundtrack as a WAV file, 44.1 kHz 16-bit stereo, block by block.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tincrates {

class ReplacingFile;

class WavWriter {
public:
    // Starts the file beside `path` with a header for an empty sound; it takes the name only
    // when finish() succeeds. Throws "cannot write " + path.
    explicit WavWriter(const std::string& path);
    // Without a successful finish(), removes what was written and leaves `path` as it was.
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Appends sound in the production's one format. Throws "cannot write " + path.
    void append(std::span<const uint8_t> pcm);

    // Writes the final sizes into the header and puts the file in place under `path`. Throws
    // "cannot write " + path. Sound beyond 4 GiB is not counted: the format cannot say more.
    void finish();

private:
    std::string path;
    std::unique_ptr<ReplacingFile> file; // null once finished
    uint64_t dataBytes = 0;
};

} // namespace tincrates

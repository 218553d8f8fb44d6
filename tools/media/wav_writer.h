// Writes the captured soundtrack as a WAV file, 44.1 kHz 16-bit stereo, block by block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace tincrates {

class WavWriter {
public:
    // Creates the file with a header for an empty sound. Throws "cannot write " + path.
    explicit WavWriter(const std::string& path);
    // Closes the file; finish() should have been called, else the header counts no sound.
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Appends sound in the production's one format. Throws "cannot write " + path.
    void append(std::span<const uint8_t> pcm);

    // Writes the final sizes into the header and closes the file. Throws "cannot write " +
    // path. Sound beyond 4 GiB is not counted: the format cannot say more.
    void finish();

private:
    std::string path;
    std::FILE* file = nullptr;
    uint64_t dataBytes = 0;
};

} // namespace tincrates

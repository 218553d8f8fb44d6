// The RIFF WAVE layout: a 44-byte header (RIFF, fmt and data chunk headers), then the samples.
#include "tools/media/wav_writer.h"

#include "datafiles/replacing_file.h"
#include "platform/sound/audio_output.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <stdexcept>

namespace tincrates {

namespace {

void putLittleEndian(uint8_t* out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

void makeHeader(uint8_t (&header)[44], uint32_t dataBytes)
{
    std::copy_n("RIFF", 4, header);
    putLittleEndian(header + 4, 36 + dataBytes, 4);
    std::copy_n("WAVEfmt ", 8, header + 8);
    putLittleEndian(header + 16, 16, 4); // size of the fmt chunk
    putLittleEndian(header + 20, 1, 2);  // integer PCM
    putLittleEndian(header + 22, audioChannelCount, 2);
    putLittleEndian(header + 24, audioSampleRate, 4);
    putLittleEndian(header + 28, audioBytesPerSecond, 4);
    putLittleEndian(header + 32, audioBytesPerFrame, 2);
    putLittleEndian(header + 34, 16, 2); // bits per sample
    std::copy_n("data", 4, header + 36);
    putLittleEndian(header + 40, dataBytes, 4);
}

} // namespace

WavWriter::WavWriter(const std::string& path)
    : path(path)
{
    try {
        file = std::make_unique<ReplacingFile>(path);
    } catch (const std::runtime_error&) {
        throw "cannot write " + path;
    }
    uint8_t header[44];
    makeHeader(header, 0);
    if (std::fwrite(header, 1, sizeof header, file->stream()) != sizeof header)
        throw "cannot write " + path;
}

WavWriter::~WavWriter() = default;

void WavWriter::append(std::span<const uint8_t> pcm)
{
    // Samples are written in the machine's order; WAV wants little-endian, as is every
    // machine this program is built for.
    static_assert(std::endian::native == std::endian::little);
    if (pcm.empty())
        return;
    if (!file || std::fwrite(pcm.data(), 1, pcm.size(), file->stream()) != pcm.size())
        throw "cannot write " + path;
    dataBytes += pcm.size();
}

void WavWriter::finish()
{
    if (!file)
        return;
    // The largest whole number of frames that the 32-bit sizes can count.
    constexpr uint64_t largest = 0xFFFFFFFFu - 36 - (0xFFFFFFFFu - 36) % audioBytesPerFrame;
    uint8_t header[44];
    makeHeader(header, uint32_t(std::min(dataBytes, largest)));
    // The file is given up on any failure, so a half-written one never takes the name.
    std::unique_ptr<ReplacingFile> finishing = std::move(file);
    if (std::fseek(finishing->stream(), 0, SEEK_SET) != 0
        || std::fwrite(header, 1, sizeof header, finishing->stream()) != sizeof header)
        throw "cannot write " + path;
    try {
        finishing->commit();
    } catch (const std::runtime_error&) {
        throw "cannot write " + path;
    }
}

} // namespace tincrates

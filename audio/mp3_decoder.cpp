// MP3 decoding over libmpg123, reading straight from the memory block.
#include "audio/mp3_decoder.h"

#include "audio/resampler.h"

#include "platform/sound/audio_output.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/types.h>

namespace tincrates {

namespace {

// The block as a seekable file, so that mpg123_scan can walk every frame before decoding.
struct MemoryReader {
    std::span<const uint8_t> block;
    size_t offset = 0;
};

mpg123_ssize_t readMemory(void* handle, void* destination, size_t byteCount)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    size_t count = std::min(byteCount, reader->block.size() - reader->offset);
    if (count == 0)
        return 0;
    std::memcpy(destination, reader->block.data() + reader->offset, count);
    reader->offset += count;
    return mpg123_ssize_t(count);
}

off_t seekMemory(void* handle, off_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR)
        base = off_t(reader->offset);
    else if (whence == SEEK_END)
        base = off_t(reader->block.size());
    else if (whence != SEEK_SET)
        return -1;
    off_t target = base + offset;
    if (target < 0 || target > off_t(reader->block.size()))
        return -1;
    reader->offset = size_t(target);
    return target;
}

// Owner of one libmpg123 decoder handle.
class Mpg123Handle {
public:
    Mpg123Handle()
    {
        // With the default decoder, running out of memory is the only way this fails.
        handle = mpg123_new(nullptr, nullptr);
        if (!handle)
            throw std::bad_alloc();
    }
    ~Mpg123Handle() { mpg123_delete(handle); }
    Mpg123Handle(const Mpg123Handle&) = delete;
    Mpg123Handle& operator=(const Mpg123Handle&) = delete;

    mpg123_handle* get() const { return handle; }

private:
    mpg123_handle* handle = nullptr;
};

Mp3DecodeResult failureOf(mpg123_handle* handle)
{
    return mpg123_errcode(handle) == MPG123_OUT_OF_MEM ? Mp3DecodeResult::outOfMemory
                                                       : Mp3DecodeResult::noAudio;
}

// A run of decoded sound at one rate. MPEG streams may change rate between frames.
struct Segment {
    long rate;
    size_t firstSample;
};

// Converts every segment of `pcm` that is not at the output rate.
bool convertRates(const std::vector<Segment>& segments, std::vector<int16_t>& pcm)
{
    bool allAtOutputRate = std::all_of(segments.begin(), segments.end(), [](const Segment& s) {
        return s.rate == long(audioSampleRate);
    });
    if (allAtOutputRate)
        return true;
    std::vector<int16_t> converted;
    for (size_t i = 0; i < segments.size(); ++i) {
        size_t end = i + 1 < segments.size() ? segments[i + 1].firstSample : pcm.size();
        std::span<const int16_t> run(pcm.data() + segments[i].firstSample,
                                     end - segments[i].firstSample);
        if (segments[i].rate == long(audioSampleRate))
            converted.insert(converted.end(), run.begin(), run.end());
        else if (!resampleToOutputRate(run, uint32_t(segments[i].rate), converted))
            return false;
    }
    pcm.swap(converted);
    return true;
}

Mp3DecodeResult decodeInto(std::span<const uint8_t> mp3, std::vector<int16_t>& pcm)
{
    Mpg123Handle decoder;
    mpg123_handle* handle = decoder.get();

    // Quiet: damaged input is reported through the result, never printed. The decoder's own
    // resampling is crude, so every rate is decoded as it is and converted afterwards.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    // Stereo 16-bit only, so libmpg123 duplicates mono itself.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);

    MemoryReader reader{mp3};
    if (mpg123_replace_reader_handle(handle, readMemory, seekMemory, nullptr) != MPG123_OK
        || mpg123_open_handle(handle, &reader) != MPG123_OK)
        return failureOf(handle);

    // A scan counts the frames exactly, so a sound at the output rate fits one allocation
    // (with room for the last read's whole chunk, which is asked for in full). A block
    // without frames fails here or at the first read; either way nothing decodes.
    const size_t chunkBytes = std::max<size_t>(mpg123_outblock(handle), 16384);
    if (mpg123_scan(handle) == MPG123_OK) {
        off_t frames = mpg123_length(handle);
        if (frames > 0)
            pcm.reserve(size_t(frames) * audioChannelCount + chunkBytes / sizeof(int16_t));
    }

    std::vector<Segment> segments;
    for (;;) {
        size_t used = pcm.size();
        pcm.resize(used + chunkBytes / sizeof(int16_t));
        size_t doneBytes = 0;
        int status = mpg123_read(handle, pcm.data() + used, chunkBytes, &doneBytes);
        pcm.resize(used + doneBytes / sizeof(int16_t));
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(handle, &rate, &channels, &encoding);
            if (segments.empty() || segments.back().rate != rate)
                segments.push_back({rate, pcm.size()});
            continue;
        }
        if (status == MPG123_OK)
            continue;
        if (status == MPG123_DONE)
            break;
        // Damage after good audio ends the sound where the damage starts.
        if (mpg123_errcode(handle) == MPG123_OUT_OF_MEM)
            return Mp3DecodeResult::outOfMemory;
        break;
    }
    if (pcm.empty() || segments.empty())
        return Mp3DecodeResult::noAudio;
    if (!convertRates(segments, pcm))
        return Mp3DecodeResult::outOfMemory;
    // Whole stereo frames only.
    pcm.resize(pcm.size() - pcm.size() % audioChannelCount);
    // Only a wrong length estimate leaves much unused; a copy to trim it is worth it then.
    if (pcm.capacity() - pcm.size() > pcm.size() / 8)
        pcm.shrink_to_fit();
    return Mp3DecodeResult::ok;
}

} // namespace

Mp3DecodeResult decodeMp3(std::span<const uint8_t> mp3, std::vector<int16_t>& pcm)
{
    pcm.clear();
    Mp3DecodeResult result;
    try {
        result = decodeInto(mp3, pcm);
    } catch (const std::bad_alloc&) {
        result = Mp3DecodeResult::outOfMemory;
    }
    if (result != Mp3DecodeResult::ok)
        std::vector<int16_t>().swap(pcm);
    return result;
}

} // namespace tincrates

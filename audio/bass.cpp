// The audio library layer: streams decoded whole, one output, one spectrum analyser.
#include "audio/bass.h"

#include "audio/mp3_decoder.h"
#include "audio/spectrum_analyser.h"
#include "platform/sound/audio_output.h"
#include "platform/sound/sdl_audio_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <span>
#include <vector>

namespace tincrates {

namespace {

// One stream: its whole decoded sound, and where it stands while it is not the one playing.
struct Stream {
    std::vector<int16_t> pcm;
    uint64_t restingPosition = 0;

    std::span<const uint8_t> bytes() const
    {
        return {reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * sizeof(int16_t)};
    }
};

// Everything between BASS_Init and BASS_Free. Declared in construction order, so the
// output, which may read the streams' sound, is destroyed after them; it is silenced first.
struct Layer {
    explicit Layer(std::unique_ptr<AudioOutput> output)
        : output(std::move(output))
    {
    }

    std::unique_ptr<AudioOutput> output;
    SpectrumAnalyser analyser;
    std::map<HSTREAM, std::unique_ptr<Stream>> streams;
    HSTREAM playingHandle = 0; // the stream whose sound the output holds, or 0
    HSTREAM lastHandle = 0;    // handles are never reused, so a stale one stays unknown

    ~Layer()
    {
        // The output must stop reading before the streams' memory goes.
        if (output)
            output->setSound({});
    }
};

AudioOutputFactory selectedFactory;
std::unique_ptr<Layer> layer;
thread_local int lastError = BASS_OK;

// Records the code of this call and passes `result` through.
template <typename T>
T fail(int code, T result)
{
    lastError = code;
    return result;
}

template <typename T>
T succeed(T result)
{
    lastError = BASS_OK;
    return result;
}

// The stream of `handle`, or null with the call's error code set.
Stream* findStream(DWORD handle)
{
    if (!layer) {
        lastError = BASS_ERROR_INIT;
        return nullptr;
    }
    auto found = layer->streams.find(handle);
    if (found == layer->streams.end()) {
        lastError = BASS_ERROR_HANDLE;
        return nullptr;
    }
    return found->second.get();
}

uint64_t positionOf(DWORD handle, const Stream& stream)
{
    return handle == layer->playingHandle ? layer->output->position() : stream.restingPosition;
}

bool readWholeFile(const char* name, std::vector<uint8_t>& content)
{
    std::FILE* file = std::fopen(name, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        content.resize(size_t(size));
        ok = std::fread(content.data(), 1, content.size(), file) == content.size();
    }
    std::fclose(file);
    return ok;
}

} // namespace

void selectAudioOutput(AudioOutputFactory factory) { selectedFactory = std::move(factory); }

bool isAudioOutputLost() { return layer && layer->output->isLost(); }

BOOL BASS_Init(int device, DWORD, DWORD, void*, const void*)
{
    if (layer)
        return fail(BASS_ERROR_ALREADY, 0);
    if (device != 1 && device != -1)
        return fail(BASS_ERROR_DEVICE, 0);
    std::unique_ptr<AudioOutput> output;
    try {
        output = selectedFactory ? selectedFactory() : std::make_unique<SdlAudioOutput>();
    } catch (const std::bad_alloc&) {
        return fail(BASS_ERROR_MEM, 0);
    } catch (...) {
        // The output's own reason is not passed on: the caller reports a failed start in
        // its own words.
        return fail(BASS_ERROR_DRIVER, 0);
    }
    if (!output)
        return fail(BASS_ERROR_DRIVER, 0);
    try {
        layer = std::make_unique<Layer>(std::move(output));
    } catch (const std::bad_alloc&) {
        return fail(BASS_ERROR_MEM, 0);
    }
    return succeed(1);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD flags)
{
    if (!layer)
        return fail(BASS_ERROR_INIT, HSTREAM(0));
    if ((flags & ~BASS_STREAM_PRESCAN) != 0 || !file)
        return fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
    try {
        std::vector<uint8_t> fileContent;
        std::span<const uint8_t> block;
        if (mem) {
            if (length == 0)
                return fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
            block = {static_cast<const uint8_t*>(file) + offset, size_t(length)};
        } else {
            if (!readWholeFile(static_cast<const char*>(file), fileContent))
                return fail(BASS_ERROR_FILEOPEN, HSTREAM(0));
            uint64_t start = std::min<uint64_t>(offset, fileContent.size());
            uint64_t available = fileContent.size() - start;
            block = std::span<const uint8_t>(fileContent).subspan(
                size_t(start), size_t(length == 0 ? available : std::min(length, available)));
            if (block.empty())
                return fail(BASS_ERROR_ILLPARAM, HSTREAM(0));
        }

        auto stream = std::make_unique<Stream>();
        switch (decodeMp3(block, stream->pcm)) {
        case Mp3DecodeResult::ok:
            break;
        case Mp3DecodeResult::noAudio:
            return fail(BASS_ERROR_FILEFORM, HSTREAM(0));
        case Mp3DecodeResult::outOfMemory:
            return fail(BASS_ERROR_MEM, HSTREAM(0));
        }
        HSTREAM handle = ++layer->lastHandle;
        layer->streams.emplace(handle, std::move(stream));
        return succeed(handle);
    } catch (const std::bad_alloc&) {
        return fail(BASS_ERROR_MEM, HSTREAM(0));
    }
}

BOOL BASS_Start()
{
    if (!layer)
        return fail(BASS_ERROR_INIT, 0);
    return succeed(1);
}

BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return 0;
    if (handle != layer->playingHandle) {
        if (layer->playingHandle != 0)
            layer->streams.at(layer->playingHandle)->restingPosition =
                layer->output->position();
        layer->output->setSound(stream->bytes());
        layer->playingHandle = handle;
        layer->output->seek(stream->restingPosition);
    }
    if (flush)
        layer->output->seek(0);
    layer->output->play();
    return succeed(1);
}

BOOL BASS_ChannelPause(DWORD handle)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return 0;
    if (handle != layer->playingHandle)
        return fail(BASS_ERROR_NOPLAY, 0);
    layer->output->pause();
    return succeed(1);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    return BASS_StreamPlay(handle, restart, 0);
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return 0;
    if (pos > stream->bytes().size())
        return fail(BASS_ERROR_POSITION, 0);
    pos -= pos % audioBytesPerFrame;
    if (handle == layer->playingHandle)
        layer->output->seek(pos);
    else
        stream->restingPosition = pos;
    return succeed(1);
}

QWORD BASS_ChannelGetLength(DWORD handle)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return QWORD(-1);
    return succeed(QWORD(stream->bytes().size()));
}

QWORD BASS_ChannelGetPosition(DWORD handle)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return QWORD(-1);
    return succeed(QWORD(positionOf(handle, *stream)));
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length)
{
    Stream* stream = findStream(handle);
    if (!stream)
        return DWORD(-1);
    if (!buffer)
        return fail(BASS_ERROR_ILLPARAM, DWORD(-1));
    auto sound = stream->bytes();
    uint64_t position = std::min<uint64_t>(positionOf(handle, *stream), sound.size());
    uint64_t remaining = sound.size() - position;
    if (length == BASS_DATA_FFT512) {
        size_t frameCount = size_t(
            std::min<uint64_t>(spectrumWindowFrames, remaining / audioBytesPerFrame));
        const int16_t* frames = stream->pcm.data() + position / sizeof(int16_t);
        layer->analyser.analyse(frames, frameCount, static_cast<float*>(buffer));
        return succeed(DWORD(frameCount * audioBytesPerFrame));
    }
    if (length & BASS_DATA_FFT512)
        return fail(BASS_ERROR_ILLPARAM, DWORD(-1));
    auto count = size_t(std::min<uint64_t>(length, remaining));
    std::memcpy(buffer, sound.data() + position, count);
    return succeed(DWORD(count));
}

BOOL BASS_StreamFree(HSTREAM handle)
{
    if (!findStream(handle))
        return 0;
    if (handle == layer->playingHandle) {
        layer->output->setSound({});
        layer->playingHandle = 0;
    }
    layer->streams.erase(handle);
    return succeed(1);
}

BOOL BASS_Free()
{
    if (!layer)
        return fail(BASS_ERROR_INIT, 0);
    layer.reset();
    return succeed(1);
}

int BASS_ErrorGetCode() { return lastError; }

} // namespace tincrates

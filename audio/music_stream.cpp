// The soundtrack as the production's clock and spectrum.
#include "audio/music_stream.h"

#include "datafiles/data_file.h"

#include <algorithm>
#include <cstdint>

namespace tincrates {

namespace {

constexpr int outputDevice = 1; // the first real output device
constexpr DWORD outputRate = audioSampleRate;

} // namespace

MusicStream::MusicStream(void* window)
{
    if (!BASS_Init(outputDevice, outputRate, BASS_DEVICE_LATENCY, window, nullptr))
        throw std::string("could not init bass");
}

MusicStream::~MusicStream()
{
    release();
    BASS_Free();
}

void MusicStream::release()
{
    if (stream != 0) {
        BASS_StreamFree(stream);
        stream = 0;
    }
    if (dataFile) {
        closeDataFile(dataFile);
        dataFile = nullptr;
    }
}

const char* MusicStream::errorMessage(int code)
{
    // The wording, typos included, is what users of the production have always seen.
    switch (code) {
    case BASS_ERROR_MEM:
        return "Insufficent memory.";
    case BASS_ERROR_FORMAT:
        return "The sample format is not supported by the device/drivers. If the stream is "
               "more than stereo or the BASS_SAMPLE_FLOAT flag is used, it could be that they "
               "are not supported (ie. no WDM drivers).";
    case BASS_ERROR_INIT:
        return "BASS_Init has not been successfully called. This should not happen at all.";
    case BASS_ERROR_ILLPARAM:
        return "Zero-length music file. File is proabelby corrupted.";
    case BASS_ERROR_NO3D:
        return "Couldn't initialize 3D support for the stream.";
    case BASS_ERROR_NOTAVAIL:
        return "Only decoding streams (BASS_STREAM_DECODE) are allowed when using the \"no "
               "sound\" device.";
    case BASS_ERROR_FILEFORM:
        return "The file's format is not recognised/supported.";
    case BASS_ERROR_SPEAKER:
        return "The device/drivers do not support the requested speaker(s), or you're "
               "attempting to assign a stereo stream to a mono speaker.";
    default:
        return "Unknown or undocumented BASS-error code";
    }
}

void MusicStream::load(const std::string& fileName, double startSeconds)
{
    // A second load must not leave the first stream and file behind.
    release();
    try {
        std::string archiveProblem;
        dataFile = openDataFile(fileName.c_str(), &archiveProblem);
        if (!dataFile)
            throw notFoundMessage("file not found", archiveProblem);
        stream = BASS_StreamCreateFile(1, dataFile->data, 0, dataFile->size,
                                       BASS_STREAM_PRESCAN);
        if (stream == 0)
            throw std::string(errorMessage(BASS_ErrorGetCode()));
    } catch (const std::string& reason) {
        release();
        throw "Failed to load " + fileName + "\n" + reason;
    } catch (...) {
        release();
        throw "Failed to load " + fileName + "\nUnknown error";
    }
    this->startSeconds = startSeconds;
}

void MusicStream::play()
{
    if (stream == 0)
        throw std::string("no music file loaded");
    BASS_Start();
    BASS_StreamPlay(stream, 1, 0);
    if (startSeconds != 0.0) {
        // Byte offsets are 32-bit; a start outside that range (or negative) is clamped
        // rather than left to an undefined conversion.
        double bytes = startSeconds * bytesPerSecond;
        uint32_t byteOffset = bytes <= 0.0 ? 0u
                              : bytes >= 4294967295.0 ? UINT32_MAX
                                                      : uint32_t(bytes);
        BASS_ChannelSetPosition(stream, uint64_t(byteOffset));
    }
}

void MusicStream::pause()
{
    if (stream != 0)
        BASS_ChannelPause(stream);
}

void MusicStream::resume()
{
    if (stream != 0)
        BASS_ChannelPlay(stream, 0);
}

void MusicStream::seekBytes(uint64_t offset)
{
    if (stream == 0)
        return;
    offset = std::min<uint64_t>(offset, BASS_ChannelGetLength(stream));
    BASS_ChannelSetPosition(stream, offset - offset % 4);
}

double MusicStream::positionSeconds()
{
    auto bytes = int64_t(BASS_ChannelGetPosition(stream));
    return double(bytes) * secondsPerByte;
}

void MusicStream::fetchSpectrum()
{
    BASS_ChannelGetData(stream, spectrum, BASS_DATA_FFT512);
}

} // namespace tincrates

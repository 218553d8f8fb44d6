// The soundtrack: the production's clock and its source of spectrum data.
#pragma once

#include "audio/bass.h"
#include "platform/sound/audio_output.h"

#include <string>

namespace tincrates {

struct DataFile;

// Plays one MP3 from the data files. Main thread only; the sound itself plays on the audio
// layer's own terms (see bass.h). At most one exists at a time, since it owns the layer.
class MusicStream {
public:
    static constexpr double bytesPerSecond = audioBytesPerSecond; // 44.1 kHz, 2 x 16 bits
    static constexpr double secondsPerByte = 1.0 / bytesPerSecond;

    // Starts the audio output; `window` is the display's native window, unused on Linux.
    // Throws "could not init bass" when no output can be opened.
    explicit MusicStream(void* window);
    // Frees the stream, then the data file, then the audio output.
    virtual ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    // Reads `fileName` through the data files and makes a stream of it, to start at
    // `startSeconds`. Throws "Failed to load " + fileName + "\n" + the reason ("file not
    // found", with the archive's reason on a further line when it has one, or the audio
    // layer's message for its error code). A second load replaces the first.
    void load(const std::string& fileName, double startSeconds);

    // Plays from startSeconds. Throws "no music file loaded" before a successful load.
    void play();

    // The time of the sound being heard now, in seconds from the start of the file; it stops
    // growing at the end of the soundtrack.
    virtual double positionSeconds();

    // For makers, who stop time and move in it: pause() holds the position, resume() plays on
    // from it, and seekBytes moves it to a byte offset of the decoded sound (rounded down to
    // a whole frame, and no further than its end); playing or not stays as it was.
    void pause();
    void resume();
    void seekBytes(uint64_t offset);

    // Refreshes `spectrum` from the sound at the current position.
    void fetchSpectrum();

    // The message for an audio layer error code, as load reports it.
    static const char* errorMessage(int code);

    DataFile* dataFile = nullptr; // owned; its block stays put while the stream exists
    HSTREAM stream = 0;
    float spectrum[256] = {};     // bin k: about k × the sample rate / 512, values 0 to 1
    double startSeconds = 0.0;

private:
    void release();
};

} // namespace tincrates

// An MP4 video (H.264 and AAC) written through Debian's ffmpeg: frames and sound go down two
// pipes as they are rendered, to two encoders that work beside the renderer on the other
// core, and finish() joins the two streams. Nothing appears at the target's path unless the
// whole file could be made.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tincrates {

class VideoFile {
public:
    // Starts the encoder. Throws a text when ffmpeg cannot be started (for example when it is
    // not installed) or the target's folder cannot be written.
    VideoFile(std::filesystem::path target, uint32_t width, uint32_t height,
              int framesPerSecond);
    // Stops an unfinished encoder and removes every temporary file.
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // One frame of width × height pixels, 0xXXRRGGBB, top row first. Throws a text when the
    // encoder has stopped.
    void addFrame(const std::vector<uint32_t>& pixels);
    // Sound of the production's format (44.1 kHz, 16-bit stereo) that goes with the frames.
    // Throws a text when the encoder has stopped.
    void addSound(std::span<const uint8_t> pcm);
    // Ends the streams and writes the target. Throws a text with ffmpeg's reason on failure.
    void finish();

private:
    // One ffmpeg reading a pipe.
    struct Encoder {
        pid_t process = -1;
        int pipe = -1;
    };
    Encoder startEncoder(const std::vector<std::string>& arguments);
    void write(Encoder& encoder, const uint8_t* bytes, size_t size);
    // Closes the pipes and waits for the encoders; true when both were running and ended
    // well, with their files written.
    bool stopEncoders();
    void removeTemporaries() const;
    std::string encoderReason() const;

    std::filesystem::path target;
    std::filesystem::path videoPath; // the frames alone, H.264
    std::filesystem::path soundPath; // the sound alone, AAC
    std::filesystem::path joinedPath; // the finished file, before it takes the target's name
    std::filesystem::path logPath;   // what ffmpeg says
    size_t frameBytes;
    Encoder frames;
    Encoder sound;
};

} // namespace tincrates

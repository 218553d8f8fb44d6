// An MP4 video (H.264 and AAC) written through Debian's ffmpeg: frames go down a pipe as they
// are rendered, to an encoder that works beside the renderer on the other core, and the sound
// waits in a file until finish() encodes it and joins the two. Nothing appears at the target's
// path unless the whole file could be made.
//
// Ctrl-C and timeout signal the encoder as well as capture. ffmpeg then stops reading, ends
// its file with the frames it has taken and exits with code 255; the video is made of those
// frames and of as much sound as they last, so a signal to either leaves a playable video.
#pragma once

#include <cstdint>
#include <cstdio>
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
    // Ends an unfinished encoder and removes every temporary file.
    ~VideoFile();
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    // One frame of width × height pixels, 0xXXRRGGBB, top row first. Returns false once a
    // signal has stopped the encoder, which has then ended its file with the frames it took:
    // the caller should stop after this frame. Throws a text when the encoder has failed.
    bool addFrame(const std::vector<uint32_t>& pixels);
    // Sound of the production's format (44.1 kHz, 16-bit stereo) that goes with the frames.
    // Throws a text when it cannot be kept.
    void addSound(std::span<const uint8_t> pcm);
    // Ends the encoder and writes the target: the frames the encoder took (all of them unless a
    // signal stopped it), with the sound of as many frames. Returns their number. A stop
    // signal that comes meanwhile waits for the file; a step it cuts short is made again
    // once. Throws a text with ffmpeg's reason on failure.
    uint64_t finish();

private:
    // Starts ffmpeg with encoderArguments on a new pipe.
    void startEncoder();
    // Whether the encoder has ended, without waiting for it; its status is then kept.
    bool hasEncoderEnded();
    // Closes the pipe and waits for the encoder; returns its wait status.
    int endEncoder();
    // Sends one frame; false when the encoder has ended, which has then been waited for.
    bool writeFrame(const uint32_t* pixels);
    void removeTemporaries() const;
    std::string encoderReason() const;

    std::filesystem::path target;
    std::filesystem::path videoPath;  // the frames alone, H.264
    std::filesystem::path soundPath;  // the sound alone, raw 16-bit stereo
    std::filesystem::path joinedPath; // the finished file, before it takes the target's name
    std::filesystem::path logPath;    // what ffmpeg says
    size_t frameBytes;
    int framesPerSecond;
    // Copies of the first frames, which an encoder that a signal ends while it starts has not
    // made anything of yet: enough to make the video again from them.
    size_t firstFramesKept;
    std::vector<std::vector<uint32_t>> firstFrames;
    std::vector<std::string> encoderArguments;
    std::FILE* sound = nullptr;
    pid_t encoder = -1;
    int framePipe = -1;
    int encoderStatus = 0; // its wait status, once it has ended
    bool isEncoderEnded = false;
    bool isStoppedBySignal = false; // ended on a stop signal
    uint64_t framesGiven = 0;
};

} // namespace tincrates

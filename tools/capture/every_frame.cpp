// Every frame at a fixed rate.
#include "tools/capture/every_frame.h"

#include "audio/bass.h"
#include "audio/silent_clock.h"
#include "production/frame_animation.h"
#include "tools/capture/capture_run.h"
#include "tools/capture/frame_reader.h"
#include "tools/capture/made_folders.h"
#include "tools/capture/video_file.h"
#include "tools/media/png_writer.h"
#include "tools/media/wav_writer.h"
#include "tools/progress/progress_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tincrates {

namespace fs = std::filesystem;

int captureEveryFrame(const Options& options, bool& isStopped)
{
    std::string output = options.output.value_or(options.defaultOutput);
    bool isVideo = isVideoName(output);
    fs::path folder = isVideo ? fs::path(output).parent_path() : fs::path(output);
    MadeFolders madeFolders;
    if (!madeFolders.make(folder))
        return 1;

    // The production ends at endTime, a little before the music does. A stretch starts on the
    // sound frame that --at shows its first beat at, and has as many frames as its beats last;
    // the same reckoning as a whole capture's, so --to alone gives that capture's first frames.
    double firstBeat = options.from.value_or(0.0);
    uint64_t start = soundOffsetAt(firstBeat);
    double seconds = options.isStretch()
        ? (options.to.value_or(endTime) - firstBeat) / beatsPerSecond
        : options.seconds.value_or(endTime / beatsPerSecond);
    uint64_t lastFrame = std::max<uint64_t>(1, uint64_t(seconds * options.framesPerSecond + 0.5));
    // Where each frame's sound ends: where the next frame's begins.
    auto soundEndOf = [&](uint64_t frames) {
        return soundOffsetOfFrame(frames, options.framesPerSecond);
    };
    ProgressMeter progress("capture:", lastFrame, "frames");
    std::unique_ptr<VideoFile> video;
    std::unique_ptr<WavWriter> soundtrack;
    uint64_t frameNumber = 0;
    uint64_t soundBytes = 0;
    bool isPastTheSoundtrack = false;
    bool isSoundtrackOver = false;
    bool isEncoderStopped = false;
    FrameReader reader(options.frameSize);
    int result = play(options, [&](IDirect3DDevice9& device, SilentClock& clock) {
        if (clock.position() < start) {
            // The frame at beat 0 is not kept. The clock jumps to the stretch as --at does:
            // the production sees a stalled music stream and passes every sync time before
            // the start, so the texts are those a whole capture would show there.
            clock.stepTo(start);
            isPastTheSoundtrack = clock.position() != start;
            return !isPastTheSoundtrack;
        }
        UINT width = 0;
        UINT height = 0;
        const std::vector<uint32_t>& pixels = reader.read(device, width, height);
        if (isVideo) {
            if (!video)
                video = std::make_unique<VideoFile>(output, width, height,
                                                    options.framesPerSecond);
            // A signal to the encoder is a signal to stop: the video ends with its frames.
            isEncoderStopped = !video->addFrame(pixels);
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "frame%05llu.png", (unsigned long long)frameNumber);
            writePngFile(folder / name, width, height, pixels);
            if (!soundtrack)
                soundtrack = std::make_unique<WavWriter>((folder / "soundtrack.wav").string());
        }
        ++frameNumber;
        progress.update(frameNumber);
        auto sound = clock.stepTo(start + soundEndOf(frameNumber));
        if (!sound.empty()) {
            soundBytes += sound.size();
            if (video)
                video->addSound(sound);
            else
                soundtrack->append(sound);
        }
        // The production ends on its own after endTime; a soundtrack that ends first would
        // leave it standing still for ever.
        isSoundtrackOver = !clock.output->isPlaying();
        return frameNumber < lastFrame && !isSoundtrackOver && !isEncoderStopped;
    }, isStopped);
    progress.finish();
    isStopped = isStopped || isEncoderStopped;
    if (result != 0)
        return result;
    if (isPastTheSoundtrack) {
        std::fprintf(stderr, "capture: the soundtrack ends before beat %g\n", firstBeat);
        return 1;
    }
    uint64_t frames = frameNumber;
    try {
        if (video)
            frames = video->finish();
        if (soundtrack)
            soundtrack->finish();
    } catch (const std::string& text) {
        std::fprintf(stderr, "capture: %s\n", text.c_str());
        return 1;
    }
    madeFolders.keep();
    const char* unit = frames == 1 ? "frame" : "frames";
    if (!options.isStretch()) {
        std::printf("%llu %s at %d per second in %s\n", (unsigned long long)frames, unit,
            options.framesPerSecond, output.c_str());
        return 0;
    }
    double lastBeat = options.to.value_or(endTime);
    if (frames >= lastFrame) {
        std::printf("%llu %s at %d per second from beat %g to %g in %s\n",
            (unsigned long long)frames, unit, options.framesPerSecond, firstBeat, lastBeat,
            output.c_str());
        return 0;
    }
    // Cut short: say how far the frames and their sound reach, to a hundredth of a beat.
    uint64_t reached = start + std::min(soundBytes, soundEndOf(frames));
    double reachedBeat = std::floor(double(reached) / audioBytesPerSecond * beatsPerSecond * 100)
        / 100;
    std::printf("%llu %s at %d per second from beat %g to %g in %s; %s before beat %g\n",
        (unsigned long long)frames, unit, options.framesPerSecond, firstBeat, reachedBeat,
        output.c_str(), isSoundtrackOver && !isStopped ? "the soundtrack ends" : "stopped",
        lastBeat);
    return 0;
}

} // namespace tincrates

// capture: plays the production headless at a fixed frame rate, with a clock that moves by
// exactly one frame's worth of sound per frame, and writes what it shows: an MP4 video with
// its soundtrack, numbered PNG frames and a WAV (of the whole production or a stretch of it),
// the frames at chosen moments, or a contact sheet of the whole production.
#include "audio/bass.h"
#include "audio/silent_clock.h"
#include "host/production_folder.h"
#include "host/run_demo.h"
#include "math/fit_rectangle.h"
#include "platform/gpu/d3d9.h"
#include "platform/window/headless_window.h"
#include "production/frame_animation.h"
#include "production/picture_size.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/video_file.h"
#include "tools/media/png_writer.h"
#include "tools/media/wav_writer.h"
#include "tools/progress/progress_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tincrates {

namespace {

namespace fs = std::filesystem;

// The folders a capture makes for what it writes. Unless kept, they go again when it ends,
// those that are empty, so that a capture that fails leaves no empty folder behind; a folder
// that was there before, or that holds anything, stays.
class MadeFolders {
public:
    MadeFolders() = default;
    ~MadeFolders()
    {
        if (isKept)
            return;
        for (const fs::path& folder : made)
            ::rmdir(folder.c_str()); // only ever removes an empty folder
    }
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;

    // Makes `folder` and the folders above it that are missing. Returns false after printing
    // the reason.
    bool make(const fs::path& folder)
    {
        std::error_code error;
        for (fs::path missing = folder; !missing.empty() && !fs::exists(missing, error);
             missing = missing.parent_path()) {
            made.push_back(missing); // the deepest first
            if (missing == missing.parent_path())
                break;
        }
        if (!folder.empty())
            fs::create_directories(folder, error);
        if (error) {
            std::fprintf(stderr, "capture: cannot make %s: %s\n", folder.c_str(),
                error.message().c_str());
            return false;
        }
        return true;
    }
    void keep() { isKept = true; }

private:
    std::vector<fs::path> made;
    bool isKept = false;
};

// A headless window that asks the run to end once the capture has what it needs.
class CaptureWindow final : public HeadlessWindow {
public:
    bool pollEvent(WindowEvent& event) override
    {
        if (!isFinished || isCloseSent)
            return false;
        isCloseSent = true;
        event = {WindowEventType::CloseRequested, false};
        return true;
    }
    bool isFinished = false;

private:
    bool isCloseSent = false;
};

// Reads frames back from the device into one system-memory surface and one pixel buffer that
// every frame reuses: a fresh 1.2 MB of each per frame cost the main thread page faults and
// zeroing that held the renderer up. (The device outlives a surface released after the run.)
// A frame larger than the picture gets the picture in its middle and black around it.
class FrameReader {
public:
    // Frames of the back buffer's own size.
    FrameReader() = default;
    explicit FrameReader(std::optional<PictureSize> frameSize)
        : frameSize(frameSize)
    {
    }
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    ~FrameReader()
    {
        if (copy)
            copy->Release();
    }

    // The back buffer's pixels, 0xXXRRGGBB, top row first; its size in `width` and `height`.
    // The buffer is the reader's, refilled by the next read; a caller may move it away.
    std::vector<uint32_t>& read(IDirect3DDevice9& device, UINT& width, UINT& height)
    {
        IDirect3DSurface9* target = nullptr;
        if (FAILED(device.GetRenderTarget(0, &target)))
            throw std::string("cannot read the frame back");
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        if (copy && (desc.Width != copyDesc.Width || desc.Height != copyDesc.Height)) {
            copy->Release();
            copy = nullptr;
        }
        if (!copy
            && FAILED(device.CreateOffscreenPlainSurface(
                desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
            copy = nullptr;
            target->Release();
            throw std::string("cannot read the frame back");
        }
        copyDesc = desc;
        D3DLOCKED_RECT locked{};
        bool isRead = SUCCEEDED(device.GetRenderTargetData(target, copy))
            && SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        target->Release();
        if (!isRead)
            throw std::string("cannot read the frame back");
        width = desc.Width;
        height = desc.Height;
        UINT left = 0;
        UINT top = 0;
        if (frameSize && (UINT(frameSize->width) != width || UINT(frameSize->height) != height)) {
            FittedRectangle shown = fitRectangle(
                int(width), int(height), frameSize->width, frameSize->height);
            if (UINT(shown.width) != width || UINT(shown.height) != height) {
                copy->UnlockRect();
                throw std::string("the picture does not fit the frame");
            }
            left = UINT(shown.x);
            top = UINT(shown.y);
            width = UINT(frameSize->width);
            height = UINT(frameSize->height);
        }
        // A moved-away buffer comes back empty; bars are painted only when it is new.
        if (pixels.size() != size_t(width) * height)
            pixels.assign(size_t(width) * height, 0xFF000000u);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(pixels.data() + size_t(top + y) * width + left,
                static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                size_t(desc.Width) * 4);
        copy->UnlockRect();
        return pixels;
    }

private:
    std::optional<PictureSize> frameSize;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC copyDesc{};
    std::vector<uint32_t> pixels;
};

// Mesa's CPU renderer starts one rasterizer thread per core. Here the cores are shared with
// this program's own thread and the encoders, and one thread more keeps them busier: a whole
// capture on two cores took 52 to 58 s with three threads against 58 to 70 s with two, for
// less CPU time in all. A setting the user made stands.
void shareCoresWithTheEncoder()
{
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    setenv("LP_NUM_THREADS", std::to_string(cores + 1).c_str(), 0);
}

// Plays the production once on a silent clock. After each frame, `framePresented` gets the
// device and the clock, and says whether the run should go on. `isStopped` tells whether the
// run ended before that, and before the production's end: on Ctrl-C or another stop signal.
int play(const Options& options,
    const std::function<bool(IDirect3DDevice9&, SilentClock&)>& framePresented,
    bool& isStopped)
{
    bool isWanted = true;  // what framePresented said last
    float lastTime = 0.0f; // the demo time of the last frame

    std::shared_ptr<CaptureWindow> window;
    SilentClock clock;
    DemoServices services;
    services.display.createWindow = [&window](const std::string&, int, int, bool) {
        window = std::make_shared<CaptureWindow>();
        return window;
    };
    services.display.showMessage = [](const std::string& text, const std::string& caption) {
        if (caption.empty())
            std::fprintf(stderr, "capture: %s\n", text.c_str());
        else
            std::fprintf(stderr, "capture: %s: %s\n", caption.c_str(), text.c_str());
    };
    services.audioOutput = clock.factory();
    services.framePresented = [&](IDirect3DDevice9& device, float t) {
        lastTime = t;
        isWanted = framePresented(device, clock);
        if (!isWanted)
            window->isFinished = true;
    };
    // The picture is drawn at the largest 4:3 size that fits the frame, never scaled.
    if (options.frameSize)
        services.pictureSize = largestPictureIn(options.frameSize->width, options.frameSize->height);
    int result = runDemo(services);
    // Headless, nothing but a stop signal, the production's end and this capture end a run.
    isStopped = result == 0 && isWanted && !(lastTime > endTime);
    return result;
}

// Every frame at a fixed rate, of the whole production or of a stretch of it, into a video or
// a folder of PNG files and a WAV. `isStopped` tells whether a stop signal ended it early.
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

// The frames at chosen demo times. The clock jumps from one to the next; the production sees
// a stalled music stream, so its texts advance as if every frame between had been shown.
// `keep` gets each frame with its time. When a stop signal ends the run first, `taken` says
// how many it got; else all are taken or the soundtrack ends before one, which is an error.
int captureMoments(const Options& options, const std::vector<double>& times,
                   const std::function<void(double t, std::vector<uint32_t>&, UINT, UINT)>& keep,
                   size_t& taken)
{
    size_t next = 0;
    ProgressMeter progress("capture:", times.size(), "frames");
    FrameReader reader(options.frameSize);
    bool isPastTheSoundtrack = false;
    bool isStopped = false;
    int result = play(options, [&](IDirect3DDevice9& device, SilentClock& clock) {
        uint64_t position = clock.position();
        if (next < times.size() && position == soundOffsetAt(times[next])) {
            UINT width = 0;
            UINT height = 0;
            std::vector<uint32_t>& pixels = reader.read(device, width, height);
            keep(times[next], pixels, width, height);
            ++next;
            progress.update(next);
        }
        isPastTheSoundtrack = next < times.size() && !clock.output->isPlaying();
        if (next >= times.size() || isPastTheSoundtrack)
            return false;
        uint64_t wanted = soundOffsetAt(times[next]);
        clock.stepTo(wanted);
        isPastTheSoundtrack = clock.position() != wanted;
        return !isPastTheSoundtrack;
    }, isStopped);
    progress.finish();
    taken = next;
    if (result == 0 && next < times.size() && !isStopped) {
        std::fprintf(stderr, "capture: the soundtrack ends before beat %g\n", times[next]);
        return 1;
    }
    return result;
}

int captureChosenFrames(const Options& options, bool& isStopped)
{
    // One time and a name ending in .png: that one file; else a folder of frames named by
    // their times.
    std::string output = options.output.value_or(options.defaultOutput);
    bool isOneFile = isPictureName(output);
    fs::path folder = isOneFile ? fs::path(output).parent_path() : fs::path(output);
    MadeFolders madeFolders;
    if (!madeFolders.make(folder))
        return 1;
    size_t taken = 0;
    int result = captureMoments(options, options.times,
        [&](double t, std::vector<uint32_t>& pixels, UINT width, UINT height) {
            char name[32];
            std::snprintf(name, sizeof name, "t%07.3f.png", t);
            writePngFile(isOneFile ? fs::path(output) : folder / name, width, height, pixels);
        }, taken);
    if (result != 0)
        return result;
    madeFolders.keep();
    isStopped = taken < options.times.size();
    std::printf("%zu frame%s in %s", taken, taken == 1 ? "" : "s", output.c_str());
    if (taken < options.times.size())
        std::printf("; stopped before beat %g", options.times[taken]);
    std::printf("\n");
    return 0;
}

int captureContactSheet(const Options& options, const std::string& path)
{
    std::vector<SheetFrame> frames;
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    std::vector<double> times = contactSheetTimes();
    size_t taken = 0;
    int result = captureMoments(options, times,
        [&](double t, std::vector<uint32_t>& pixels, UINT width, UINT height) {
            frames.push_back({t, std::move(pixels)});
            frameWidth = width;
            frameHeight = height;
        }, taken);
    if (result != 0)
        return result;
    if (frames.empty()) {
        std::printf("no contact sheet: stopped before beat %g\n", times[0]);
        return 0;
    }
    ContactSheet sheet = makeContactSheet(frames, frameWidth, frameHeight);
    fs::path target(path);
    MadeFolders madeFolders;
    if (!madeFolders.make(target.parent_path()))
        return 1;
    try {
        writePngFile(target, sheet.width, sheet.height, sheet.pixels);
    } catch (const std::string& text) {
        std::fprintf(stderr, "capture: %s\n", text.c_str());
        return 1;
    }
    madeFolders.keep();
    std::printf("contact sheet of %zu frames in %s", frames.size(), path.c_str());
    if (taken < times.size())
        std::printf("; stopped before beat %g", times[taken]);
    std::printf("\n");
    return 0;
}

// Whether the current folder, which the user knows as `folder`, holds a production; says what
// to do in one line when not.
bool isThereAProduction(const fs::path& folder)
{
    if (holdsProduction("."))
        return true;
    std::fprintf(stderr, "capture: %s\n", noProductionMessage(folder,
        "name a production's folder with -C DIR, such as -C build/production in the clone")
            .c_str());
    return false;
}

// Makes the folder of the production to play the current one: -C DIR, else the current folder
// when it holds a production, else the installed one. What is written goes where the user
// said: relative to DIR with -C, as tar -C does, and relative to the folder capture was
// started in otherwise.
bool enterProductionFolder(Options& options)
{
    fs::path folder;
    if (options.dataFolder) {
        folder = *options.dataFolder;
    } else {
        std::error_code error;
        fs::path current = fs::current_path(error);
        if (error)
            return true;
        folder = chooseProductionFolder(current, runningProgramPath());
        if (folder == current)
            return isThereAProduction(current);
        auto pinned = [&current](std::optional<std::string>& path) {
            if (path)
                path = (current / *path).string();
        };
        pinned(options.output);
        pinned(options.contactSheet);
        options.defaultOutput = (current / options.defaultOutput).string();
    }
    std::string reason = enterFolder(folder);
    if (!reason.empty()) {
        std::fprintf(stderr, "capture: %s\n", reason.c_str());
        return false;
    }
    return isThereAProduction(folder);
}

int capture(Options& options)
{
    if (!enterProductionFolder(options))
        return 1;
    int result = 0;
    bool isStopped = false; // a stop signal ends the whole capture, not only its first part
    if (!options.times.empty())
        result = captureChosenFrames(options, isStopped);
    else if (options.output || !options.contactSheet || options.isStretch())
        result = captureEveryFrame(options, isStopped);
    if (result == 0 && options.contactSheet && !isStopped)
        result = captureContactSheet(options, *options.contactSheet);
    return result;
}

} // namespace

} // namespace tincrates

int main(int argc, char** argv)
{
    tincrates::Options options;
    int exitCode = 0;
    if (!tincrates::parseOptions(argc, argv, options, exitCode))
        return exitCode;
    tincrates::shareCoresWithTheEncoder();
    return tincrates::capture(options);
}

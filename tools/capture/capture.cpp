// capture: plays the production headless at a fixed frame rate, with a clock that moves by
// exactly one frame's worth of sound per frame, and writes numbered PNG frames and the
// soundtrack as WAV beside them, for making a video.
#include "audio/bass.h"
#include "host/run_demo.h"
#include "platform/d3d9.h"
#include "platform/headless_window.h"
#include "platform/silent_audio_output.h"
#include "tools/media/png_writer.h"
#include "tools/media/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace tincrates {

namespace {

constexpr const char* usage =
    "usage: capture [-r FRAMES_PER_SECOND] [-t SECONDS] [-o FOLDER] [--at T1,T2,...]\n"
    "\n"
    "Plays the production of the current folder (the archive stashpack or the folder data/)\n"
    "without a screen or sound card and writes every frame as FOLDER/frame00000.png,\n"
    "frame00001.png, ... and the soundtrack as FOLDER/soundtrack.wav (44.1 kHz, 16-bit\n"
    "stereo), exactly as long as the frames at their rate.\n"
    "\n"
    "  -r FRAMES_PER_SECOND  1 to 240, default 30\n"
    "  -t SECONDS            stop after this much of the soundtrack (default: the end)\n"
    "  -o FOLDER             where to write, default capture; made if missing\n"
    "  --at T1,T2,...        only the frames at these demo times (in beats, 0 to 232), as\n"
    "                        FOLDER/t012.500.png and so on; no sound is written\n";

struct Options {
    int framesPerSecond = 30;
    std::optional<double> seconds;
    std::string folder = "capture";
    std::vector<double> times; // --at: only these demo times, in rising order
};

// Music seconds × this is the demo time in beats.
constexpr double beatsPerSecond = 2.149000040690104;

// The first whole sample frame at which the demo time has reached `t`, as a byte offset.
uint64_t byteOffsetOf(double t)
{
    return uint64_t(std::ceil(t / beatsPerSecond * double(audioSampleRate))) * audioBytesPerFrame;
}

// "12.5,60" into rising times; false for anything else.
bool parseTimes(const std::string& text, std::vector<double>& times)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        char* end = nullptr;
        double t = std::strtod(item.c_str(), &end);
        if (item.empty() || *end || !(t >= 0) || t > 232)
            return false;
        times.push_back(t);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return !times.empty();
}

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

std::vector<uint32_t> readBackBuffer(IDirect3DDevice9& device, UINT& width, UINT& height)
{
    IDirect3DSurface9* target = nullptr;
    if (FAILED(device.GetRenderTarget(0, &target)))
        throw std::string("cannot read the frame back");
    D3DSURFACE_DESC desc{};
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(device.CreateOffscreenPlainSurface(
            desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr))) {
        target->Release();
        throw std::string("cannot read the frame back");
    }
    D3DLOCKED_RECT locked{};
    bool isRead = SUCCEEDED(device.GetRenderTargetData(target, copy))
        && SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    std::vector<uint32_t> pixels;
    if (isRead) {
        pixels.resize(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(pixels.data() + size_t(y) * desc.Width,
                static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                size_t(desc.Width) * 4);
        copy->UnlockRect();
    }
    copy->Release();
    target->Release();
    if (!isRead)
        throw std::string("cannot read the frame back");
    width = desc.Width;
    height = desc.Height;
    return pixels;
}

// Parses the command line; returns false after printing the reason (or the help).
bool parseOptions(int argc, char** argv, Options& options, int& exitCode)
{
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::fputs(usage, stdout);
            exitCode = 0;
            return false;
        }
        bool takesValue =
            argument == "-r" || argument == "-t" || argument == "-o" || argument == "--at";
        if (!takesValue || i + 1 >= argc) {
            std::fprintf(stderr, takesValue ? "capture: %s needs a value\n"
                                            : "capture: unknown option %s\n",
                argument.c_str());
            std::fputs(usage, stderr);
            exitCode = 1;
            return false;
        }
        std::string value = argv[++i];
        char* end = nullptr;
        if (argument == "-o") {
            options.folder = value;
        } else if (argument == "--at") {
            if (!parseTimes(value, options.times)) {
                std::fprintf(stderr, "capture: --at takes demo times from 0 to 232, such as "
                                     "9.5,60\n");
                exitCode = 1;
                return false;
            }
        } else if (argument == "-r") {
            long rate = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end || rate < 1 || rate > 240) {
                std::fprintf(stderr, "capture: -r takes a whole number from 1 to 240\n");
                exitCode = 1;
                return false;
            }
            options.framesPerSecond = int(rate);
        } else {
            double seconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end || !(seconds > 0) || seconds > 1e6) {
                std::fprintf(stderr, "capture: -t takes a positive number of seconds\n");
                exitCode = 1;
                return false;
            }
            options.seconds = seconds;
        }
    }
    return true;
}

int capture(const Options& options)
{
    std::error_code error;
    std::filesystem::create_directories(options.folder, error);
    if (error) {
        std::fprintf(stderr, "capture: cannot make %s: %s\n", options.folder.c_str(),
            error.message().c_str());
        return 1;
    }
    const std::filesystem::path folder(options.folder);

    std::shared_ptr<CaptureWindow> window;
    SilentAudioOutput* clock = nullptr; // owned by the audio layer while the music exists
    std::unique_ptr<WavWriter> soundtrack;
    uint64_t frameNumber = 0;
    uint64_t lastFrame = UINT64_MAX;
    if (options.seconds)
        lastFrame = uint64_t(*options.seconds * options.framesPerSecond + 0.5);

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
    services.audioOutput = [&clock]() -> std::unique_ptr<AudioOutput> {
        auto made = std::make_unique<SilentAudioOutput>();
        clock = made.get();
        return made;
    };
    // With --at the clock jumps from one wanted time to the next; the production sees a
    // stalled music stream, so its texts advance as if every frame between had been shown.
    size_t nextTime = 0;
    auto presentChosen = [&](IDirect3DDevice9& device, float) {
        uint64_t position = clock->position();
        if (nextTime < options.times.size() && position == byteOffsetOf(options.times[nextTime])) {
            UINT width = 0;
            UINT height = 0;
            std::vector<uint32_t> pixels = readBackBuffer(device, width, height);
            char name[32];
            std::snprintf(name, sizeof name, "t%07.3f.png", options.times[nextTime]);
            writePngFile((folder / name).string(), width, height, pixels);
            ++frameNumber;
            ++nextTime;
        }
        if (nextTime >= options.times.size() || !clock->isPlaying()) {
            window->isFinished = true;
            return;
        }
        uint64_t wanted = byteOffsetOf(options.times[nextTime]);
        if (wanted > position)
            clock->advance(wanted - position);
        if (clock->position() != wanted) // past the end of the soundtrack
            window->isFinished = true;
    };
    auto presentEvery = [&](IDirect3DDevice9& device, float) {
        UINT width = 0;
        UINT height = 0;
        std::vector<uint32_t> pixels = readBackBuffer(device, width, height);
        char name[32];
        std::snprintf(name, sizeof name, "frame%05llu.png", (unsigned long long)frameNumber);
        writePngFile((folder / name).string(), width, height, pixels);
        if (!soundtrack)
            soundtrack = std::make_unique<WavWriter>((folder / "soundtrack.wav").string());
        ++frameNumber;
        // Each frame's sound ends at its own whole-frame offset, so no drift builds up at
        // rates that do not divide the sample rate.
        uint64_t end = frameNumber * audioSampleRate / uint64_t(options.framesPerSecond)
            * audioBytesPerFrame;
        uint64_t position = clock->position();
        if (end > position)
            soundtrack->append(clock->advance(end - position));
        // The production ends on its own after beat 232; a soundtrack that ends first would
        // leave it standing still for ever.
        if (frameNumber >= lastFrame || !clock->isPlaying())
            window->isFinished = true;
    };
    if (options.times.empty())
        services.framePresented = presentEvery;
    else
        services.framePresented = presentChosen;

    int result = runDemo(services);
    if (result != 0)
        return result;
    try {
        if (soundtrack)
            soundtrack->finish();
    } catch (const std::string& text) {
        std::fprintf(stderr, "capture: %s\n", text.c_str());
        return 1;
    }
    if (!options.times.empty())
        std::printf("%llu of %zu frames in %s\n", (unsigned long long)frameNumber,
            options.times.size(), options.folder.c_str());
    else
        std::printf("%llu frames at %d per second in %s\n", (unsigned long long)frameNumber,
            options.framesPerSecond, options.folder.c_str());
    return 0;
}

} // namespace

} // namespace tincrates

int main(int argc, char** argv)
{
    tincrates::Options options;
    int exitCode = 0;
    if (!tincrates::parseOptions(argc, argv, options, exitCode))
        return exitCode;
    return tincrates::capture(options);
}

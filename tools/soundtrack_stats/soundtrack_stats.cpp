// soundtrack_stats: the production's soundtrack as the picture hears it: the camera's field of
// view and roll, the kicks against their beats, loudness and peak (its help says more).
#include "audio/bass.h"
#include "cli/command_line.h"
#include "audio/music_stream.h"
#include "audio/silent_clock.h"
#include "datafiles/data_file.h"
#include "platform/sound/audio_output.h"
#include "production/frame_animation.h"
#include "tools/cratesmith/sound/music_measures.h"
#include "tools/cratesmith/sound/soundtrack.h"
#include "tools/cratesmith/sound/synth_effects.h"
#include "tools/media/png_writer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

using namespace tincrates;
using namespace tincrates::cratesmith;

constexpr const char* usage =
    "Usage: soundtrack_stats [FOLDER] [--plot FILE.png]\n"
    "\n"
    "Plays the production's soundtrack through the music stream on a silent clock at 60\n"
    "frames per second, as a capture would, and prints the spread of the camera's field of\n"
    "view and roll, how far each kick lands from its beat, its loudness and peak, and how\n"
    "long the generator took.\n"
    "\n"
    "FOLDER holds a production (its stashpack, or data/soundtrk.mp3), read the way the\n"
    "production reads it. Without it the soundtrack is generated here first.\n"
    "\n"
    "  --plot FILE.png  draw the field of view and the roll over the demo time, with the\n"
    "                   beats where the text changes\n"
    "  -h, --help       show this help and exit\n"
    "  --version        show the version and exit\n";

constexpr double endOfProduction = endTime;
constexpr int videoFramesPerSecond = 60;

struct CameraFrame {
    float t;
    double fieldOfView;
    double roll;
};

float beatAt(double seconds) { return float(seconds * beatsPerSecond); }

void printSpread(const char* what, const std::vector<double>& values, const char* format)
{
    Spread spread = spreadOf(values);
    std::string line = std::string("%-28s min ") + format + "  median " + format + "  95%% "
                       + format + "  max " + format + "\n";
    std::printf(line.c_str(), what, spread.minimum, spread.median, spread.percentile95,
                spread.maximum);
}

// The field of view (80 to 160 degrees) above the roll (0 to 0.2 radians), over t = 0 to endTime.
void plotCamera(const std::vector<CameraFrame>& frames, const std::string& path)
{
    const uint32_t width = 1400, panelHeight = 300, gap = 20, height = 2 * panelHeight + gap;
    std::vector<uint32_t> pixels(size_t(width) * height, 0xFFFFFFFFu);
    auto put = [&](int x, int y, uint32_t colour) {
        if (x >= 0 && x < int(width) && y >= 0 && y < int(height))
            pixels[size_t(y) * width + size_t(x)] = colour;
    };
    auto xOf = [&](double t) { return int(std::lround(t / endOfProduction * (width - 1))); };
    auto yOf = [&](double value, double low, double high, uint32_t top) {
        double fraction = std::clamp((value - low) / (high - low), 0.0, 1.0);
        return int(top + std::lround((1.0 - fraction) * (panelHeight - 1)));
    };
    struct Panel {
        uint32_t top;
        double low, high, limit;
        double CameraFrame::*value;
    };
    const Panel panels[] = {{0, 80.0, 160.0, 130.0, &CameraFrame::fieldOfView},
                            {panelHeight + gap, 0.0, 0.2, 0.1, &CameraFrame::roll}};
    for (const Panel& panel : panels) {
        for (double t = 0.0; t <= endOfProduction; t += 8.0)
            for (uint32_t y = panel.top; y < panel.top + panelHeight; ++y)
                put(xOf(t), int(y), 0xFFE4E4E4u);
        for (float t : syncTimes)
            for (uint32_t y = panel.top; y < panel.top + panelHeight; y += 2)
                put(xOf(t), int(y), 0xFF9090C0u);
        for (uint32_t x = 0; x < width; ++x)
            put(int(x), yOf(panel.limit, panel.low, panel.high, panel.top), 0xFFE08080u);
        int lastX = -1, lastY = -1;
        for (const CameraFrame& frame : frames) {
            int x = xOf(frame.t), y = yOf(frame.*panel.value, panel.low, panel.high, panel.top);
            if (lastX >= 0)
                for (int fill = std::min(y, lastY); fill <= std::max(y, lastY); ++fill)
                    put(x, fill, 0xFF202020u);
            lastX = x;
            lastY = y;
        }
    }
    writePngFile(path, width, height, pixels);
}

int run(const std::string& folder, const std::string& plotPath)
{
    std::filesystem::path scratch;
    if (folder.empty()) {
        auto started = std::chrono::steady_clock::now();
        std::string mp3 = makeSoundtrack();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now()
                                                       - started).count();
        std::printf("generated in %.2f s: %zu bytes of MP3\n", seconds, mp3.size());
        std::string pattern = (std::filesystem::temp_directory_path() / "soundtrack-XXXXXX");
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder");
        scratch = pattern;
        std::filesystem::create_directories(scratch / dataFolderName);
        std::ofstream(scratch / dataFolderName / soundtrackFileName, std::ios::binary) << mp3;
        std::filesystem::current_path(scratch);
    } else {
        std::filesystem::current_path(folder);
    }

    SelectedSilentClock clock;
    MusicStream music(nullptr);
    music.load(soundtrackFileName, 0.0);
    music.play();

    // The whole decoded sound, as the stream holds it.
    std::vector<int16_t> pcm(size_t(200.0 * audioBytesPerSecond) / 2);
    DWORD bytes = BASS_ChannelGetData(music.stream, pcm.data(), DWORD(pcm.size() * 2));
    pcm.resize(bytes / 2);
    size_t frames = pcm.size() / 2;
    int peak = 0;
    for (int16_t sample : pcm)
        peak = std::max(peak, std::abs(int(sample)));
    std::printf("decoded: %.3f s (%zu frames), sample peak %.2f dBFS\n",
                double(bytes) * MusicStream::secondsPerByte, frames,
                20.0 * std::log10(std::max(peak, 1) / 32768.0));
    StereoBuffer decoded(frames);
    for (size_t n = 0; n < frames; ++n) {
        decoded.left[n] = float(pcm[2 * n] / 32768.0);
        decoded.right[n] = float(pcm[2 * n + 1] / 32768.0);
    }
    std::printf("integrated loudness %.2f LUFS, true peak %.2f dBFS\n",
                integratedLoudness(decoded), 20.0 * std::log10(truePeak(decoded)));

    // The kicks, as positions of the stream.
    std::vector<double> offsetsMs, energyRatios;
    const size_t search = 1323; // 30 ms
    for (int beat = 8; beat < int(endOfProduction); ++beat) {
        auto expected = size_t(std::ceil(beat / beatsPerSecond * audioSampleRate));
        long offset = kickOffsetFrames(pcm, expected, search);
        double onsetSeconds = double((long(expected) + offset) * 4) * MusicStream::secondsPerByte;
        offsetsMs.push_back((beatAt(onsetSeconds) - beat) / beatsPerSecond * 1000.0);
        auto half = size_t(std::ceil((beat + 0.5) / beatsPerSecond * audioSampleRate));
        double onBeat = kickBodyEnergy(pcm, expected);
        double offBeat = kickBodyEnergy(pcm, half);
        energyRatios.push_back(onBeat / std::max(offBeat, 1e-12));
    }
    printSpread("kick offset from beat (ms)", offsetsMs, "%+7.2f");
    std::vector<double> absolute;
    for (double offset : offsetsMs)
        absolute.push_back(std::abs(offset));
    printSpread("|kick offset| (ms)", absolute, "%7.2f");
    printSpread("kick band: beat / half beat", energyRatios, "%7.1f");

    // The camera at 60 frames per second, from the start to the end of the production.
    std::vector<CameraFrame> camera;
    for (uint64_t frame = 0;; ++frame) {
        float t = beatAt(music.positionSeconds());
        if (t > endOfProduction)
            break;
        music.fetchSpectrum();
        camera.push_back({t, fieldOfViewDegrees(music.spectrum[fieldOfViewBin]),
                          rollRadians(music.spectrum[rollBin])});
        if (clock.stepTo(soundOffsetOfFrame(frame + 1, videoFramesPerSecond)).empty())
            break; // the sound ended before the production
    }
    std::vector<double> fieldOfView, roll;
    for (const CameraFrame& frame : camera) {
        fieldOfView.push_back(frame.fieldOfView);
        roll.push_back(frame.roll);
    }
    std::printf("camera over %zu frames at %d per second, t = 0 to %.2f:\n", camera.size(),
                videoFramesPerSecond, camera.empty() ? 0.0 : double(camera.back().t));
    printSpread("field of view (degrees)", fieldOfView, "%7.1f");
    printSpread("roll (radians)", roll, "%7.4f");
    if (!plotPath.empty()) {
        plotCamera(camera, plotPath);
        std::printf("plot: %s\n", plotPath.c_str());
    }
    if (!scratch.empty()) {
        std::filesystem::current_path("/");
        std::filesystem::remove_all(scratch);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    std::string plotPath;
    CommandLine commandLine("soundtrack_stats", usage);
    CLI::App& app = commandLine.app();
    app.add_option("FOLDER", folder)->check(CLI::ExistingDirectory);
    app.add_option_function<std::string>("--plot", [&plotPath](const std::string& path) {
        plotPath = std::filesystem::absolute(path).string();
    });
    if (std::optional<int> exitCode = commandLine.parse(argc, argv))
        return *exitCode;
    try {
        return run(folder, plotPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "soundtrack_stats: %s\n", error.what());
    } catch (const std::string& error) {
        std::fprintf(stderr, "soundtrack_stats: %s\n", error.c_str());
    }
    return 1;
}

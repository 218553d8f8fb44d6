// Stills at chosen demo times.
#include "tools/capture/stills.h"

#include "audio/bass.h"
#include "audio/silent_clock.h"
#include "production/frame_animation.h"
#include "tools/capture/capture_run.h"
#include "tools/capture/frame_reader.h"
#include "tools/capture/made_folders.h"
#include "tools/media/png_writer.h"
#include "tools/progress/progress_meter.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace tincrates {

namespace fs = std::filesystem;

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

} // namespace tincrates

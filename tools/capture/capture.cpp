// capture: plays the production headless at a fixed frame rate, with a clock that moves by
// exactly one frame's worth of sound per frame, and writes what it shows: an MP4 video with
// its soundtrack, numbered PNG frames and a WAV (of the whole production or a stretch of it),
// the frames at chosen moments, or a contact sheet of the whole production.
#include "host/production_folder.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/every_frame.h"
#include "tools/capture/render_threads.h"
#include "tools/capture/stills.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace tincrates {

namespace {

namespace fs = std::filesystem;

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

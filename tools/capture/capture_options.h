// capture's command line: the options, read and checked before anything is rendered.
#pragma once

#include "production/picture_size.h"

#include <optional>
#include <string>
#include <vector>

namespace tincrates {

struct Options {
    int framesPerSecond = 30;
    std::optional<double> seconds;
    std::optional<std::string> output;
    std::vector<double> times; // --at: only these demo times, in rising order
    std::optional<std::string> contactSheet;
    std::optional<std::string> dataFolder;
    std::optional<PictureSize> frameSize; // --size
    std::optional<double> from;           // --from: the demo time a stretch starts at
    std::optional<double> to;             // --to: the demo time a stretch ends at
    std::string defaultOutput = "capture"; // the folder of frames when -o is not given

    bool isStretch() const { return from || to; }
};

// Whether a name asks for a video (.mp4) or a single picture (.png), in any case.
bool isVideoName(const std::string& name);
bool isPictureName(const std::string& name);

// Parses the command line into `options`. Returns false after printing the reason, or the
// help or version, with the exit code to end with in `exitCode`.
bool parseOptions(int argc, char** argv, Options& options, int& exitCode);

} // namespace tincrates

// capture's command line.
#include "tools/capture/capture_options.h"

#include "cli/command_line.h"
#include "production/frame_animation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tincrates {

namespace {

// The help; each "{end}" stands for the production's end.
constexpr const char* usageText =
    "Usage: capture [OPTION]... [-o FILE.mp4 | -o FOLDER] [--contact-sheet FILE.png]\n"
    "  or:  capture [OPTION]... [--from T] [--to T] [-o FILE.mp4 | -o FOLDER]\n"
    "  or:  capture [OPTION]... --at T1,T2,... [-o FOLDER]\n"
    "  or:  capture [OPTION]... --at T -o FILE.png\n"
    "  or:  capture [OPTION]... --contact-sheet FILE.png\n"
    "\n"
    "Plays the production of the current folder (the archive stashpack or the folder data/)\n"
    "without a screen or sound card, on a clock that moves by exactly one frame's worth of\n"
    "sound per frame, and writes what it shows. Where the current folder holds neither, it\n"
    "plays the production installed with the program (" TINCRATES_PRODUCTION_FROM_PROGRAMS "\n"
    "from the program's own folder), writing into the current folder all the same.\n"
    "\n"
    "  -o FILE.mp4           the video with its soundtrack (H.264 and AAC, through ffmpeg)\n"
    "  -o FOLDER             every frame as FOLDER/frame00000.png, frame00001.png, ... and the\n"
    "                        soundtrack as FOLDER/soundtrack.wav (44.1 kHz, 16-bit stereo),\n"
    "                        exactly as long as the frames; the default is the folder capture\n"
    "  -r FRAMES_PER_SECOND  1 to 240, default 30\n"
    "  -t SECONDS            stop after this much of the soundtrack (default: the end)\n"
    "  --from T, --to T      only the stretch of demo time from beat T (default 0) to beat T\n"
    "                        (default {end}, the end), with its sound; its first frame is the\n"
    "                        one --at T shows, and its texts are those a whole capture shows\n"
    "  --size WIDTHxHEIGHT   frames of this size, such as 1920x1080 (default 640x480, the\n"
    "                        original's pixels): the picture is drawn at the largest 4:3\n"
    "                        size that fits, with black bars beside or above and below it\n"
    "  --at T1,T2,...        only the frames at these demo times (in beats, 0 to {end}), as\n"
    "                        FOLDER/t012.500.png and so on; no sound is written. With one\n"
    "                        time, -o NAME.png writes that frame as NAME.png\n"
    "  --contact-sheet FILE.png\n"
    "                        one picture of small frames from the whole production, one every\n"
    "                        8 beats, each labelled with its time (also after a stretch)\n"
    "  -C DIR                play the production in DIR instead of the current folder; the\n"
    "                        output's paths are then taken from DIR too\n"
    "  -h, --help            show this help and exit\n"
    "  --version             show the version and exit\n";

std::string usage()
{
    std::string text = usageText;
    const std::string end = std::to_string(int(endTime));
    for (size_t at = text.find("{end}"); at != std::string::npos; at = text.find("{end}", at))
        text.replace(at, 5, end);
    return text;
}

bool hasExtension(const std::string& name, const char* wanted)
{
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == wanted;
}

// "12.5,60" into rising times; false for anything else.
bool parseTimes(const std::string& text, std::vector<double>& times)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        double t = 0;
        if (!readBeats(item, t) || !isWithinProduction(t))
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

// Reads a demo time in beats for `option` (--from, --to) into `t`. Returns an empty text when
// it is one within the production, else the reason in one line.
std::string readDemoTime(const std::string& text, const std::string& option, double& t)
{
    double value = 0;
    if (!readBeats(text, value))
        return option + " takes a demo time in beats such as 90, not \"" + text + "\"";
    if (!isWithinProduction(value))
        return option + " " + text + " is outside the production, whose demo time runs from 0 "
            "to " + std::to_string(int(endTime));
    t = value;
    return {};
}

} // namespace

bool isVideoName(const std::string& name) { return hasExtension(name, ".mp4"); }
bool isPictureName(const std::string& name) { return hasExtension(name, ".png"); }

bool parseOptions(int argc, char** argv, Options& options, int& exitCode)
{
    CommandLine commandLine("capture", usage());
    CLI::App& app = commandLine.app();
    // Each value is read by the option's own reader, which says in one line what it takes.
    auto text = [&app](const char* name, std::optional<std::string>& value) {
        return app.add_option_function<std::string>(
            name, [&value](const std::string& given) { value = given; });
    };
    text("-o", options.output);
    text("--contact-sheet", options.contactSheet);
    text("-C", options.dataFolder)->check(CLI::ExistingDirectory);
    app.add_option_function<std::string>("-r", [&options](const std::string& value) {
        char* end = nullptr;
        long rate = std::strtol(value.c_str(), &end, 10);
        if (end == value.c_str() || *end || rate < 1 || rate > 240)
            throw UsageError("-r takes a whole number from 1 to 240");
        options.framesPerSecond = int(rate);
    });
    app.add_option_function<std::string>("-t", [&options](const std::string& value) {
        char* end = nullptr;
        double seconds = std::strtod(value.c_str(), &end);
        if (end == value.c_str() || *end || !(seconds > 0) || seconds > 1e6)
            throw UsageError("-t takes a positive number of seconds");
        options.seconds = seconds;
    });
    app.add_option_function<std::string>("--size", [&options](const std::string& value) {
        PictureSize size;
        std::string reason = readPictureSize(value, "--size", size);
        if (!reason.empty())
            throw UsageError(reason);
        options.frameSize = size;
    });
    for (const char* option : {"--from", "--to"}) {
        app.add_option_function<std::string>(option, [&options, option](const std::string& value) {
            double t = 0;
            std::string reason = readDemoTime(value, option, t);
            if (!reason.empty())
                throw UsageError(reason);
            (option == std::string("--from") ? options.from : options.to) = t;
        });
    }
    // Every --at adds its times to those of the others.
    app.add_option_function<std::vector<std::string>>("--at",
           [&options](const std::vector<std::string>& values) {
               for (const std::string& value : values) {
                   if (!parseTimes(value, options.times))
                       throw UsageError("--at takes demo times from 0 to "
                                        + std::to_string(int(endTime)) + ", such as 9.5,60");
               }
           })
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (std::optional<int> code = commandLine.parse(argc, argv)) {
        exitCode = *code;
        return false;
    }
    exitCode = usageErrorExitCode;
    if (!options.times.empty() && options.output && isVideoName(*options.output)) {
        commandLine.fail("--at writes PNG frames into a folder, not a video");
        return false;
    }
    if (options.times.size() > 1 && options.output && isPictureName(*options.output)) {
        commandLine.fail("--at with " + std::to_string(options.times.size())
            + " times writes a folder; -o " + *options.output + " takes one time");
        return false;
    }
    if (options.isStretch()) {
        std::string stretchOption = options.from ? "--from" : "--to";
        if (!options.times.empty()) {
            commandLine.fail(stretchOption + " and --at do not go together: a stretch or single "
                                             "moments, not both");
            return false;
        }
        if (options.seconds) {
            commandLine.fail("-t and " + stretchOption + " do not go together: --to says where "
                                                         "a stretch ends");
            return false;
        }
        char reason[160] = "";
        if (options.from && options.to && !(*options.from < *options.to))
            std::snprintf(reason, sizeof reason, "--from %g must be before --to %g",
                *options.from, *options.to);
        else if (options.from && !(*options.from < endTime))
            std::snprintf(reason, sizeof reason,
                "--from %g must be before the production's end, %g", *options.from,
                double(endTime));
        else if (options.to && !(*options.to > 0))
            std::snprintf(reason, sizeof reason,
                "--to %g must be after the production's start, 0", *options.to);
        if (*reason) {
            commandLine.fail(reason);
            return false;
        }
    }
    return true;
}

} // namespace tincrates

#include "host/maker_commands.h"

#include "production/frame_animation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tincrates {

namespace {


// How close below a beat or sync time still counts as standing on it: a jump lands on the
// first sound frame at or after its beat, a few millionths of a beat late.
constexpr double landingTolerance = 1e-3;

std::string normalised(const std::string& line)
{
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    size_t last = line.find_last_not_of(" \t\r");
    std::string text = line.substr(first, last - first + 1);
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

std::optional<MakerCommand> commandForKey(Key key)
{
    switch (key) {
    case Key::Space: return MakerCommand{MakerCommandType::TogglePause};
    case Key::Left: return MakerCommand{MakerCommandType::StepBack};
    case Key::Right: return MakerCommand{MakerCommandType::StepForward};
    case Key::PageUp: return MakerCommand{MakerCommandType::PageBack};
    case Key::PageDown: return MakerCommand{MakerCommandType::PageForward};
    case Key::Home: return MakerCommand{MakerCommandType::Start};
    case Key::BracketLeft: return MakerCommand{MakerCommandType::PreviousSync};
    case Key::BracketRight: return MakerCommand{MakerCommandType::NextSync};
    case Key::L: return MakerCommand{MakerCommandType::ToggleLoop};
    case Key::F1: return MakerCommand{MakerCommandType::ToggleStatus};
    case Key::Escape: return MakerCommand{MakerCommandType::Quit};
    case Key::Other: break;
    }
    return std::nullopt;
}

bool isRepeatable(const MakerCommand& command)
{
    switch (command.type) {
    case MakerCommandType::StepBack:
    case MakerCommandType::StepForward:
    case MakerCommandType::PageBack:
    case MakerCommandType::PageForward:
    case MakerCommandType::PreviousSync:
    case MakerCommandType::NextSync:
        return true;
    default:
        return false;
    }
}

std::optional<MakerCommand> parseMakerCommand(const std::string& line, std::string& error)
{
    error.clear();
    std::string text = normalised(line);
    if (text.empty())
        return std::nullopt;
    struct Name {
        const char* name;
        MakerCommandType type;
    };
    static constexpr Name names[] = {
        {"space", MakerCommandType::TogglePause}, {"pause", MakerCommandType::TogglePause},
        {"left", MakerCommandType::StepBack}, {"right", MakerCommandType::StepForward},
        {"pageup", MakerCommandType::PageBack}, {"pagedown", MakerCommandType::PageForward},
        {"home", MakerCommandType::Start}, {"[", MakerCommandType::PreviousSync},
        {"]", MakerCommandType::NextSync}, {"l", MakerCommandType::ToggleLoop},
        {"loop", MakerCommandType::ToggleLoop}, {"f1", MakerCommandType::ToggleStatus},
        {"status", MakerCommandType::ToggleStatus}, {"escape", MakerCommandType::Quit},
        {"quit", MakerCommandType::Quit},
    };
    for (const Name& name : names)
        if (text == name.name)
            return MakerCommand{name.type};
    if (text == "beat" || text.rfind("beat ", 0) == 0) {
        double beat = 0;
        if (readBeats(normalised(text.substr(4)), beat) && isWithinProduction(beat))
            return MakerCommand{MakerCommandType::GoTo, beat};
        error = "beat takes a time from 0 to " + std::to_string(int(endTime)) + ", such as beat 96";
        return std::nullopt;
    }
    error = "unknown command \"" + normalised(line)
        + "\": space or pause, left, right, pageup, pagedown, home, [, ], l or loop, f1 or "
          "status, beat T, quit or escape";
    return std::nullopt;
}

std::optional<double> jumpTarget(
    const MakerCommand& command, double t, std::span<const float> textChanges)
{
    double target = 0;
    switch (command.type) {
    case MakerCommandType::StepBack:
        target = std::ceil(t - landingTolerance) - 1;
        break;
    case MakerCommandType::StepForward:
        target = std::floor(t + landingTolerance) + 1;
        break;
    case MakerCommandType::PageBack:
        target = std::ceil(t - landingTolerance) - beatsPerPhrase;
        break;
    case MakerCommandType::PageForward:
        target = std::floor(t + landingTolerance) + beatsPerPhrase;
        break;
    case MakerCommandType::Start:
        target = 0;
        break;
    case MakerCommandType::PreviousSync:
        target = 0;
        for (float sync : textChanges)
            if (sync < t - landingTolerance)
                target = sync;
        break;
    case MakerCommandType::NextSync:
        target = endTime;
        for (float sync : textChanges)
            if (sync > t + landingTolerance) {
                target = sync;
                break;
            }
        break;
    case MakerCommandType::GoTo:
        target = command.beat;
        break;
    default:
        return std::nullopt;
    }
    return std::clamp(target, 0.0, double(endTime));
}

PhrasePlace phrasePlaceOf(double t)
{
    double beat = std::floor(std::max(0.0, t) + landingTolerance);
    int phrase = int(beat / beatsPerPhrase);
    return {phrase + 1, int(beat - phrase * beatsPerPhrase) + 1};
}

} // namespace tincrates

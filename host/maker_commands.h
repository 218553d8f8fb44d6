// What a maker can ask of a playing production, from a key or a line of standard input, and
// where each jump lands. Times are demo times in beats.
#pragma once

#include "platform/window/window.h"
#include "production/frame_animation.h"

#include <optional>
#include <span>
#include <string>

namespace tincrates {

enum class MakerCommandType {
    TogglePause,  // Space
    StepBack,     // Left: the beat before
    StepForward,  // Right: the next beat
    PageBack,     // Page Up: eight beats back
    PageForward,  // Page Down: eight beats on
    Start,        // Home
    PreviousSync, // [: the sync time before
    NextSync,     // ]: the next sync time
    ToggleLoop,   // L: loop the eight-beat phrase being played
    ToggleStatus, // F1: hide or show the status line
    Quit,         // Escape
    GoTo,         // standard input only: "beat T"
};

struct MakerCommand {
    MakerCommandType type;
    double beat = 0; // for GoTo
};

// The command of a maker's key; none for keys that only print the time.
std::optional<MakerCommand> commandForKey(Key key);

// Whether a key held down repeats the command: the steps do, toggles and Escape do not.
bool isRepeatable(const MakerCommand& command);

// A line of standard input: a key's name ("space", "left", "right", "pageup", "pagedown",
// "home", "[", "]", "l", "f1", "escape"), "pause", "loop", "status", "quit", or "beat T"
// with T within the production (0 to endTime). Spaces around are ignored and case does not
// matter. Returns none and the reason in `error` for anything else; an empty line is none
// without an error.
std::optional<MakerCommand> parseMakerCommand(const std::string& line, std::string& error);

// The beat a jump command lands on from time `t`, within 0 to the end (endTime); none for the
// commands that do not move time. Steps go to whole beats: from 96.4 the next is 97 and the
// one before 96; from 96 exactly, 95 and 97. Sync times likewise: the first one after `t`,
// or the last one before it (a little before a sync time counts as at it, so that the
// earlier one is reached from there).
// `textChanges`: the beats at which the shown text changes, in order (the built-in sync times,
// or where a directing text track has its keys).
std::optional<double> jumpTarget(const MakerCommand& command, double t,
    std::span<const float> textChanges = syncTimes);

// The eight-beat phrase that `t` lies in, counted from 1, and the beat within it, 1 to 8.
struct PhrasePlace {
    int phrase;
    int beat;
};
PhrasePlace phrasePlaceOf(double t);

} // namespace tincrates

// The program's entry and its one loop: open the display, start the soundtrack, build the
// production, then draw frames timed by the music until it ends, Escape or the window closes.
#pragma once

#include "audio/bass.h"
#include "host/display.h"
#include "production/picture_size.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tincrates {

class MusicStream;
class Timeline;

// What one run is played with. machineDisplayServices() and machineAudioOutput()
// (back_ends.h) give the machine's own; tests and the capture tool put their own in.
struct DemoServices {
    DisplayServices display;
    // The sound output; when empty, the one chosen last with selectAudioOutput stays.
    AudioOutputFactory audioOutput;
    // Makes the production; the Timeline of this program when empty.
    std::function<std::unique_ptr<Timeline>(IDirect3DDevice9& device, MusicStream& music)>
        createTimeline;
    // Called after each frame is presented, with the device and the frame's demo time; may
    // throw a text error, which ends the run as any other.
    std::function<void(IDirect3DDevice9& device, float demoTime)> framePresented;
    // Ends the run also when the soundtrack has played to its end before the production's
    // (endTime), instead of standing still on the last frame: for runs without a screen,
    // where no key or window could end them.
    bool endsWithTheMusic = false;
    // The clock the frames are timed by; the steady clock when empty.
    std::function<std::chrono::steady_clock::time_point()> frameClock;
    // Whether the picture's size follows how fast the frames come (PictureSizeGovernor):
    // when empty, on a screen unless pictureSize fixes it.
    std::optional<bool> adaptsPictureSize;
    // A resizable window instead of full screen; it opens at 640 × 480, or at pictureSize.
    bool isWindowed = false;
    // A back buffer of this fixed size, scaled to the window or screen when shown. When
    // empty, the picture is drawn at the size it is shown at: the largest 4:3 rectangle of
    // the screen or window, following the window when it is resized (640 × 480 without a
    // screen); on a screen whose refresh the frames cannot keep up with, a 4:3 size smaller,
    // down to 640 × 480 (PictureSizeGovernor).
    std::optional<PictureSize> pictureSize;
    // The maker's mode: Space pauses, the arrows and Page keys step by beats, Home, [ and ]
    // jump, L loops a phrase, F1 hides the status line shown in a corner; the data files are
    // loaded again when they change on disk; the texts follow the time both ways; at the end
    // the production stands still instead of ending. Without a screen the same commands come
    // from `commandInput` (standard input when null), one per line and one per frame, each
    // answered with the status line on standard output; the run ends with the input.
    bool isMaker = false;
    int commandInput = 0;
    // In the maker's mode: the sync editor to direct the production from, as HOST, HOST:PORT
    // or empty for the default (localhost, port 1338); none when unset.
    std::optional<std::string> syncEditorAddress;
};

// Plays the production once. Prints "time %f\n" with the demo time on standard output for
// each key press. Returns 0 after the end (demo time past endTime, Escape, the window closed, or
// with endsWithTheMusic the end of the soundtrack);
// after an error, takes down everything made so far in reverse order, then shows the error's
// text through services.display.showMessage (no caption) and returns 1.
int runDemo(const DemoServices& services);

} // namespace tincrates

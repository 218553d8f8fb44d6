// The program's entry and its one loop: open the display, start the soundtrack, build the
// production, then draw frames timed by the music until it ends, Escape or the window closes.
#pragma once

#include "audio/bass.h"
#include "host/display.h"

#include <functional>
#include <memory>

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
    // Ends the run also when the soundtrack has played to its end before beat 232, instead of
    // standing still on the last frame: for runs without a screen, where no key or window
    // could end them.
    bool endsWithTheMusic = false;
    // A resizable window of the picture's size instead of full screen; the picture scales to
    // the window as it does to a screen.
    bool isWindowed = false;
};

// Every texture of the production is sampled with linear filtering between texels and
// between mip levels: the entry sets this on all eight samplers once, before anything is
// built, and nothing changes it later. (Benchmarks that drive a Timeline call it too.)
void useLinearFiltering(IDirect3DDevice9& device);

// Plays the production once. Prints "time %f\n" with the demo time on standard output for
// each key press. Returns 0 after the end (demo time past 232, Escape, the window closed, or
// with endsWithTheMusic the end of the soundtrack);
// after an error, takes down everything made so far in reverse order, then shows the error's
// text through services.display.showMessage (no caption) and returns 1.
int runDemo(const DemoServices& services);

} // namespace tincrates

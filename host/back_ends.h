// The one place that decides what this machine plays the production on: a window on the
// screen or a headless one, a sound card or a clock that keeps time without one.
#pragma once

#include "audio/bass.h"
#include "host/display.h"
#include "host/run_demo.h"

namespace tincrates {

// Everything below, decided once: without a screen the run also ends with its soundtrack,
// since no key or window could end it.
DemoServices machineDemoServices();

// An on-screen window where a display server is reachable now, else a headless one that
// renders all the same; Direct3D over OpenGL; messages on standard error and, with a screen,
// in a box.
DisplayServices machineDisplayServices();

// SDL audio on the default device; where that cannot open, a note on standard error and a
// silent clock that advances in real time, so the production keeps its pace.
AudioOutputFactory machineAudioOutput();

} // namespace tincrates

// One headless run of the production on a silent clock, which capture steps frame by frame.
#pragma once

#include "audio/silent_clock.h"
#include "platform/gpu/d3d9.h"
#include "tools/capture/capture_options.h"

#include <functional>

namespace tincrates {

// Plays the production once on a silent clock. After each frame, `framePresented` gets the
// device and the clock, and says whether the run should go on. `isStopped` tells whether the
// run ended before that, and before the production's end: on Ctrl-C or another stop signal.
// Returns the run's exit code: 0, or 1 after an error it has reported.
int play(const Options& options,
    const std::function<bool(IDirect3DDevice9&, SilentClock&)>& framePresented,
    bool& isStopped);

} // namespace tincrates

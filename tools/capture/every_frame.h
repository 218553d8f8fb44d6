// Every frame at a fixed rate, of the whole production or a stretch of it: a video, or a
// folder of PNG frames and a WAV.
#pragma once

#include "tools/capture/capture_options.h"

namespace tincrates {

// Captures what `options` ask for (-o, -r, -t, --from, --to, --size) with a progress bar on
// standard error and a summary line on standard output. `isStopped` tells whether a stop
// signal ended it early. Returns the exit code: 0, or 1 after an error it has reported.
int captureEveryFrame(const Options& options, bool& isStopped);

} // namespace tincrates

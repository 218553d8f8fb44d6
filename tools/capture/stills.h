// Stills: the frames at chosen demo times, each taken where the clock jumps to it.
#pragma once

#include "platform/gpu/d3d9.h"
#include "tools/capture/capture_options.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tincrates {

// The frames at `times` (rising demo times). The clock jumps from one to the next; the
// production sees a stalled music stream, so its texts advance as if every frame between had
// been shown. `keep` gets each frame with its time. When a stop signal ends the run first,
// `taken` says how many it got; else all are taken or the soundtrack ends before one, which is
// an error. Returns the exit code: 0, or 1 after an error it has reported.
int captureMoments(const Options& options, const std::vector<double>& times,
                   const std::function<void(double t, std::vector<uint32_t>&, UINT, UINT)>& keep,
                   size_t& taken);

// The frames of --at, as PNG files in a folder named by their times or, for one time and an
// output named NAME.png, as that file; a summary line on standard output. `isStopped` tells
// whether a stop signal ended it early. Returns the exit code.
int captureChosenFrames(const Options& options, bool& isStopped);

} // namespace tincrates

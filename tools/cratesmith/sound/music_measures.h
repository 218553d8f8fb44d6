// Measures of the soundtrack as the picture hears it: where each kick lands against the beat
// it belongs to, and how the camera's zoom and roll, which follow two bins of the spectrum,
// spread over the piece. The tests and the statistics tool share them.
#pragma once

#include "production/frame_animation.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tincrates::cratesmith {

struct Spread {
    double minimum = 0.0;
    double median = 0.0;
    double percentile95 = 0.0;
    double maximum = 0.0;
};

// The spread of `values` (nearest-rank percentiles). All zero when `values` is empty.
Spread spreadOf(std::vector<double> values);

// Where the kick starts in `stereo` (interleaved 16-bit frames of the decoded soundtrack),
// in frames from `expectedFrame`, which must lie at least `searchFrames` plus the length of
// the kick's attack inside it: the lag, within +-searchFrames, at which the attack of the
// generator's own kick best matches the sound. Negative when the kick comes early.
long kickOffsetFrames(std::span<const int16_t> stereo, size_t expectedFrame,
                      size_t searchFrames);

// The frames of the kick's attack that kickOffsetFrames matches.
constexpr size_t kickAttackFrames = 1024;

// The energy of `stereo` below about 120 Hz from 10 to 110 ms after `frame`: where the body
// of a kick struck on that frame lies, once its pitch has fallen.
double kickBodyEnergy(std::span<const int16_t> stereo, size_t frame);

} // namespace tincrates::cratesmith

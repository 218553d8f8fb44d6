// Effects and mastering for the synthesiser's buffers: echo, room, ducking under the kick,
// the loudness meter and the peak limiter. Each works on a whole buffer at once, offline.
#pragma once

#include "tools/cratesmith/sound/synth_dsp.h"

#include <vector>

namespace tincrates::cratesmith {

// An echo that alternates between the sides: the first repeat comes on the right, the next on
// the left, each `feedback` quieter and a little darker than the one before.
struct PingPongDelay {
    double delaySeconds = 0.35;
    double feedback = 0.4;
    double dampingHz = 4500.0; // repeats lose their top above this
    double lowCutHz = 250.0;   // and their bottom below this, so they never muddy the bass

    // The repeats only (no dry sound) of `input`.
    StereoBuffer process(const StereoBuffer& input) const;
};

// A room: a short pre-delay and diffusion, then eight delay lines mixed through an
// orthogonal matrix, each damped above `dampingHz`, so the tail decays by 60 dB in
// `decaySeconds` and comes out decorrelated on the two sides.
struct Reverb {
    double preDelaySeconds = 0.02;
    double decaySeconds = 2.2;
    double dampingHz = 5000.0;
    double lowCutHz = 220.0;
    double size = 1.0; // scales the delay lines

    // The wet sound only of `input`.
    StereoBuffer process(const StereoBuffer& input) const;
};

// Turns `buffer` down by `depth` (0 to 1) at each of `kickFrames` and lets it back up over
// about `recoverySeconds`, so pads and bass breathe with the kick and leave it room.
void duckUnderKicks(StereoBuffer& buffer, const std::vector<size_t>& kickFrames, double depth,
                    double recoverySeconds);

// The integrated loudness of `buffer` in LUFS: K-weighted mean square over 400 ms blocks
// that overlap by 75 %, gated at -70 LUFS and then 10 LU below the mean of the blocks that
// passed. Silence reads -70.
double integratedLoudness(const StereoBuffer& buffer);

// The largest magnitude of `buffer` between its samples, estimated on a four times finer grid
// by band-limited interpolation: the peak a converter or decoder can reach.
double truePeak(const StereoBuffer& buffer);

// Lowers the gain wherever a sample, or a point between samples, would exceed `ceiling`
// (linear), reaching the lower gain smoothly over `lookaheadSeconds` before the peak and
// recovering over about `releaseSeconds`. Both sides get the same gain, so the image holds.
void limitPeaks(StereoBuffer& buffer, double ceiling, double lookaheadSeconds,
                double releaseSeconds);

} // namespace tincrates::cratesmith

// The soundtrack's instruments. Each call renders one note or hit, adding it into a buffer
// from `frame` on; parts past the buffer's end are dropped. `velocity` scales the level (1 is
// the instrument's normal level) and, where the instrument has one, its brightness. Calls
// with the same arguments add the same samples; noise comes from `seed`.
#pragma once

#include "tools/cratesmith/sound/synth_dsp.h"

#include <cstdint>
#include <vector>

namespace tincrates::cratesmith {

// ---- Drums ------------------------------------------------------------------------------------
// Drums are one-shot sounds, made once and played at every hit, as a drum machine plays its
// samples.

// Adds `sound` into `out` from `frame` on, scaled by `velocity` and each side by `pan`'s
// gain for it (so a centred pan leaves a stereo sound as it is).
void playSound(StereoBuffer& out, const StereoBuffer& sound, size_t frame, double velocity,
               const Pan& pan = Pan());

// A deep electronic kick: a sine that falls quickly from a high pitch to about 47 Hz, with a
// tiny click on top. It starts at full level on its first frame and is over within
// kickSeconds, a little less than a beat, so every kick starts from silence in its band.
StereoBuffer makeKick();
constexpr double kickSeconds = 0.42;

// A hand clap: three quick bursts of band-passed noise and a short tail.
StereoBuffer makeClap(uint64_t seed);

// A snare for rolls and fills: a short tuned body under bright noise.
StereoBuffer makeSnare(uint64_t seed);

// A hi-hat: ringing partials from 4.4 kHz up and noise above 7 kHz, closed or open by
// `decaySeconds`.
StereoBuffer makeHat(double decaySeconds, uint64_t seed);

// A crash cymbal, wide, ringing for about three seconds.
StereoBuffer makeCrash(uint64_t seed);

// A cymbal played backwards: it swells over `seconds` and stops dead at `endFrame`.
void renderReverseCymbal(StereoBuffer& out, size_t endFrame, double seconds, double velocity,
                         uint64_t seed);

// A rising noise sweep over `seconds`, to build towards the next section.
void renderRiser(StereoBuffer& out, size_t frame, double seconds, double velocity,
                 uint64_t seed);

// ---- Tuned instruments -------------------------------------------------------------------------

// One note of a tuned instrument: where it starts, how long it is held and its MIDI key.
struct ToneNote {
    size_t frame = 0;
    double gateSeconds = 0.0;
    double key = 69.0;
    double velocity = 1.0;
};

// The bass: two slightly detuned saws over a sine, through a low-pass that opens at each note
// and closes within a tenth of a second; `brightness` 0 to 1 sets how far it opens. Mono.
void renderBass(StereoBuffer& out, const ToneNote& note, double brightness);

// A pad note: five detuned saws spread across the stereo field, with a slow attack and a long
// release. Unfiltered: the pad's filter runs over all its notes at once (see renderPadFilter).
void renderPadNote(StereoBuffer& out, const ToneNote& note, uint64_t seed);

// Filters the summed pad notes with a low-pass whose cutoff follows `cutoffHzAt(frame)`, and
// takes away the bottom, which belongs to the bass.
template <typename CutoffAt>
void renderPadFilter(StereoBuffer& pad, CutoffAt cutoffHzAt)
{
    StateVariableFilter lowLeft, lowRight;
    OnePole lowCutLeft, lowCutRight;
    lowCutLeft.setup(160.0);
    lowCutRight.setup(160.0);
    for (size_t n = 0; n < pad.frames(); ++n) {
        // The cutoff moves slowly; new coefficients every 32 samples are plenty.
        if (n % 32 == 0) {
            double hz = cutoffHzAt(n);
            lowLeft.setup(hz, 0.9);
            lowRight.setup(hz, 0.9);
        }
        pad.left[n] = float(lowCutLeft.high(lowLeft.low(pad.left[n])));
        pad.right[n] = float(lowCutRight.high(lowRight.low(pad.right[n])));
    }
}

// A plucked note for arpeggios: bright at the start and closing quickly.
void renderPluck(StereoBuffer& out, const ToneNote& note, double brightness, double pan,
                 uint64_t seed);

// The lead: a pair of detuned saws and a quiet square, with vibrato that comes in on long
// notes.
void renderLead(StereoBuffer& out, const ToneNote& note, double brightness, uint64_t seed);

// A chord stab for accents: all of `keys` at once, bright and short.
void renderStab(StereoBuffer& out, size_t frame, const std::vector<int>& keys, double velocity,
                uint64_t seed);

// A bell: two-operator frequency modulation whose brightness dies away with the note.
void renderBell(StereoBuffer& out, const ToneNote& note, double pan);

} // namespace tincrates::cratesmith

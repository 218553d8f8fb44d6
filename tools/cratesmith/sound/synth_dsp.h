// The synthesiser's building blocks: a seeded noise source, band-limited oscillators, filters,
// envelopes and the sound buffers the voices are rendered into. Everything here is plain
// arithmetic on doubles in a fixed order, so the same calls give the same samples on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include "platform/sound/audio_output.h"

#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tincrates::cratesmith {

constexpr int synthRate = int(audioSampleRate);
constexpr double synthSecondsPerSample = 1.0 / synthRate;

// Where a mono sound sits between the sides: constant power, with the centre at unity on
// both sides (-1 left, 0 centre, 1 right).
struct Pan {
    explicit Pan(double position = 0.0);
    double left;
    double right;
};

// A stereo sound of the synthesiser's rate, as two channels of floats.
struct StereoBuffer {
    explicit StereoBuffer(size_t frames = 0)
        : left(frames, 0.0f)
        , right(frames, 0.0f)
    {
    }
    size_t frames() const { return left.size(); }
    // Adds `value` at `frame`, placed by `pan` (else in the centre); frames past the end are
    // dropped, so voices may ring out beyond the piece.
    void add(size_t frame, double value)
    {
        if (frame < left.size()) {
            left[frame] += float(value);
            right[frame] += float(value);
        }
    }
    void add(size_t frame, double value, const Pan& pan)
    {
        if (frame < left.size()) {
            left[frame] += float(value * pan.left);
            right[frame] += float(value * pan.right);
        }
    }
    void addStereo(size_t frame, double leftValue, double rightValue)
    {
        if (frame < left.size()) {
            left[frame] += float(leftValue);
            right[frame] += float(rightValue);
        }
    }
    // Adds `other` times `gain` to this buffer, frame for frame.
    void mix(const StereoBuffer& other, double gain = 1.0);
    // Silence throughout, keeping the length.
    void clear();

    std::vector<float> left;
    std::vector<float> right;
};

// xorshift64*: a small generator whose sequence is fixed by its seed alone, unlike the
// standard library's distributions, whose output may change between library versions.
class Random {
public:
    explicit Random(uint64_t seed)
        : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
    {
        if (state == 0)
            state = 1;
    }
    uint64_t next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-1, 1).
    double bipolar() { return 2.0 * unit() - 1.0; }

private:
    uint64_t state;
};

// The frequency of a MIDI key number (69 is A at 440 Hz).
inline double keyHz(double key) { return 440.0 * std::pow(2.0, (key - 69.0) / 12.0); }

namespace detail {
constexpr size_t sineTableSize = 4096;
// sin(2 pi i / sineTableSize) for i = 0 to sineTableSize.
const std::vector<double>& sineTable();
} // namespace detail

// sin(2 pi phase) for any phase, from a table: about a millionth off, and much cheaper than
// the library's sine in loops that run for every sample of every voice.
inline double sineOfTurns(double phase)
{
    static const std::vector<double>& table = detail::sineTable();
    double position = (phase - std::floor(phase)) * double(detail::sineTableSize);
    auto index = size_t(position);
    double fraction = position - double(index);
    return table[index] + fraction * (table[index + 1] - table[index]);
}

// An exponential fall from 1 with time constant `seconds`, one sample per next().
class Decay {
public:
    explicit Decay(double seconds)
        : factor(std::exp(-synthSecondsPerSample / seconds))
    {
    }
    double next()
    {
        double current = value;
        value *= factor;
        return current;
    }

private:
    double factor;
    double value = 1.0;
};

// A sawtooth from -1 to 1 whose jump is smoothed by a two-sample polynomial, which removes
// most of the aliasing a naive ramp folds back into the audible band.
class SawOscillator {
public:
    explicit SawOscillator(double startPhase = 0.0)
        : phase(startPhase)
    {
    }
    double next(double hz)
    {
        double increment = std::min(hz * synthSecondsPerSample, 0.5);
        double value = 2.0 * phase - 1.0 - blep(phase, increment);
        advance(increment);
        return value;
    }
    // A square (pulse of half width) made from two saws half a period apart.
    double nextSquare(double hz)
    {
        double increment = std::min(hz * synthSecondsPerSample, 0.5);
        double shifted = phase + 0.5 >= 1.0 ? phase - 0.5 : phase + 0.5;
        double value = 2.0 * (phase - shifted) - blep(phase, increment)
                       + blep(shifted, increment);
        advance(increment);
        return value;
    }

private:
    // The correction that turns the ramp's jump into a band-limited step, over one sample
    // on each side of the jump.
    static double blep(double at, double increment)
    {
        if (at < increment) {
            double x = at / increment;
            return x + x - x * x - 1.0;
        }
        if (at > 1.0 - increment) {
            double x = (at - 1.0) / increment;
            return x * x + x + x + 1.0;
        }
        return 0.0;
    }
    void advance(double increment)
    {
        phase += increment;
        if (phase >= 1.0)
            phase -= 1.0;
    }

    double phase;
};

// Zero-delay-feedback state-variable filter (trapezoidal integration): stable under fast
// cutoff changes, with low-, band- and high-pass outputs from one update.
class StateVariableFilter {
public:
    struct Outputs {
        double low;
        double band;
        double high;
    };
    // `resonance` is 1/Q: 1.414 is flat (Butterworth), smaller values ring.
    void setup(double cutoffHz, double resonance);
    Outputs process(double input);
    double low(double input) { return process(input).low; }
    double band(double input) { return process(input).band; }
    double high(double input) { return process(input).high; }

private:
    double k = 1.414, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    double state1 = 0.0, state2 = 0.0;
};

// First-order low-pass; high() gives the complementary high-pass.
class OnePole {
public:
    void setup(double cutoffHz)
    {
        coefficient = 1.0 - std::exp(-2.0 * std::numbers::pi * cutoffHz / synthRate);
    }
    double low(double input) { return state += coefficient * (input - state); }
    double high(double input) { return input - low(input); }

private:
    double coefficient = 1.0;
    double state = 0.0;
};

// The shape of an attack-decay-sustain-release level. The attack is a straight ramp; decay
// and release approach their targets exponentially, with these time constants in seconds.
struct Envelope {
    double attack = 0.005;
    double decay = 0.2;
    double sustain = 1.0;
    double release = 0.1;

    // How long after the start of a note held for `gateSeconds` it is worth rendering: until
    // the release has fallen by more than 40 dB.
    double length(double gateSeconds) const { return gateSeconds + 5.0 * release; }
};

// One note's run through an Envelope, one sample per next().
class EnvelopeRun {
public:
    EnvelopeRun(const Envelope& shape, double gateSeconds);
    double next();

private:
    double sustain;
    double attackFrames;
    double gateFrames;
    double decayFactor;
    double releaseFactor;
    double frame = 0.0;
    double decaying = 1.0; // the part of the decay still to go, from 1 down to 0
    double level = 0.0;
};

// Soft saturation that keeps small signals as they are and rounds off large ones.
inline double saturate(double x) { return std::tanh(x); }

} // namespace tincrates::cratesmith

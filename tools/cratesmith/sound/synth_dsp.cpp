// The synthesiser's building blocks.
#include "tools/cratesmith/sound/synth_dsp.h"

#include <algorithm>

namespace tincrates::cratesmith {

Pan::Pan(double position)
{
    double angle = (std::clamp(position, -1.0, 1.0) + 1.0) * 0.25 * std::numbers::pi;
    left = std::cos(angle) * std::numbers::sqrt2;
    right = std::sin(angle) * std::numbers::sqrt2;
}

void StereoBuffer::clear()
{
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
}

void StereoBuffer::mix(const StereoBuffer& other, double gain)
{
    size_t count = std::min(frames(), other.frames());
    for (size_t n = 0; n < count; ++n) {
        left[n] += float(other.left[n] * gain);
        right[n] += float(other.right[n] * gain);
    }
}

const std::vector<double>& detail::sineTable()
{
    static const std::vector<double> table = [] {
        std::vector<double> values(sineTableSize + 1);
        for (size_t i = 0; i <= sineTableSize; ++i)
            values[i] = std::sin(2.0 * std::numbers::pi * double(i) / double(sineTableSize));
        return values;
    }();
    return table;
}

void StateVariableFilter::setup(double cutoffHz, double resonance)
{
    double limitedHz = std::clamp(cutoffHz, 10.0, 0.45 * synthRate);
    double g = std::tan(std::numbers::pi * limitedHz / synthRate);
    k = resonance;
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

StateVariableFilter::Outputs StateVariableFilter::process(double input)
{
    double v3 = input - state2;
    double v1 = a1 * state1 + a2 * v3;
    double v2 = state2 + a2 * state1 + a3 * v3;
    state1 = 2.0 * v1 - state1;
    state2 = 2.0 * v2 - state2;
    return {v2, v1, input - k * v1 - v2};
}

EnvelopeRun::EnvelopeRun(const Envelope& shape, double gateSeconds)
    : sustain(shape.sustain)
    , attackFrames(shape.attack * synthRate)
    , gateFrames(gateSeconds * synthRate)
    , decayFactor(std::exp(-synthSecondsPerSample / shape.decay))
    , releaseFactor(std::exp(-synthSecondsPerSample / shape.release))
{
}

double EnvelopeRun::next()
{
    if (frame >= gateFrames)
        level *= releaseFactor; // falls from wherever the note was let go
    else if (frame < attackFrames)
        level = frame / attackFrames;
    else {
        level = sustain + (1.0 - sustain) * decaying;
        decaying *= decayFactor;
    }
    frame += 1.0;
    return level;
}

} // namespace tincrates::cratesmith

// Measures of the soundtrack as the picture hears it.
#include "tools/cratesmith/sound/music_measures.h"

#include "tools/cratesmith/sound/synth_dsp.h"
#include "tools/cratesmith/sound/synth_voices.h"

#include <algorithm>
#include <cmath>

namespace tincrates::cratesmith {

namespace {

double monoAt(std::span<const int16_t> stereo, size_t frame)
{
    return 0.5 * (double(stereo[2 * frame]) + double(stereo[2 * frame + 1])) / 32768.0;
}

} // namespace

Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    auto rank = [&](double fraction) {
        auto index = size_t(std::ceil(fraction * double(values.size())));
        return values[std::clamp<size_t>(index, 1, values.size()) - 1];
    };
    return {values.front(), rank(0.5), rank(0.95), values.back()};
}

long kickOffsetFrames(std::span<const int16_t> stereo, size_t expectedFrame,
                      size_t searchFrames)
{
    static const std::vector<float> attack = [] {
        StereoBuffer kick = makeKick();
        return std::vector<float>(kick.left.begin(), kick.left.begin() + kickAttackFrames);
    }();
    size_t frames = stereo.size() / 2;
    if (expectedFrame < searchFrames || expectedFrame + searchFrames + kickAttackFrames > frames)
        return 0;
    std::vector<double> mono(2 * searchFrames + kickAttackFrames);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = monoAt(stereo, expectedFrame - searchFrames + i);
    long bestLag = 0;
    double bestMatch = -1e300;
    for (size_t start = 0; start <= 2 * searchFrames; ++start) {
        double match = 0.0;
        for (size_t i = 0; i < kickAttackFrames; ++i)
            match += attack[i] * mono[start + i];
        if (match > bestMatch) {
            bestMatch = match;
            bestLag = long(start) - long(searchFrames);
        }
    }
    return bestLag;
}

double kickBodyEnergy(std::span<const int16_t> stereo, size_t frame)
{
    size_t firstFrame = frame + 441, frameCount = 4410;
    // Two low-passes in series, run in from a little earlier so that they have settled.
    StateVariableFilter first, second;
    first.setup(120.0, 1.414);
    second.setup(120.0, 1.414);
    size_t frames = stereo.size() / 2;
    size_t runIn = std::min<size_t>(firstFrame, 2048);
    double energy = 0.0;
    for (size_t n = firstFrame - runIn; n < std::min(frames, firstFrame + frameCount); ++n) {
        double low = second.low(first.low(monoAt(stereo, n)));
        if (n >= firstFrame)
            energy += low * low;
    }
    return energy;
}

} // namespace tincrates::cratesmith

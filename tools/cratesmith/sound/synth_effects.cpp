// Effects and mastering for the synthesiser's buffers.
#include "tools/cratesmith/sound/synth_effects.h"

#include <algorithm>
#include <array>
#include <deque>

namespace tincrates::cratesmith {

namespace {

// A direct-form biquad for the fixed filters of the loudness meter.
class Biquad {
public:
    Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
        : b0(b0 / a0)
        , b1(b1 / a0)
        , b2(b2 / a0)
        , a1(a1 / a0)
        , a2(a2 / a0)
    {
    }
    double process(double x)
    {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    double b0, b1, b2, a1, a2;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};

// The loudness meter's weighting: a shelf that lifts the top by 4 dB, as the head does, and a
// high-pass that discounts the deep bass, which sounds less loud than it measures.
struct KWeighting {
    static Biquad shelf()
    {
        const double gainDb = 4.0, cornerHz = 1500.0;
        double a = std::pow(10.0, gainDb / 40.0);
        double w = 2.0 * std::numbers::pi * cornerHz / synthRate;
        double alpha = std::sin(w) / 2.0 * std::numbers::sqrt2;
        double c = std::cos(w), root = 2.0 * std::sqrt(a) * alpha;
        return Biquad(a * ((a + 1) + (a - 1) * c + root), -2 * a * ((a - 1) + (a + 1) * c),
                      a * ((a + 1) + (a - 1) * c - root), (a + 1) - (a - 1) * c + root,
                      2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - root);
    }
    static Biquad highPass()
    {
        const double cornerHz = 38.0, q = 0.5;
        double w = 2.0 * std::numbers::pi * cornerHz / synthRate;
        double alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
        return Biquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
};

// Hann-windowed sinc taps that interpolate a point `fraction` of a sample after x[0] from
// x[-7] to x[8].
constexpr int interpolationTaps = 16;
using InterpolationKernel = std::array<double, interpolationTaps>;

InterpolationKernel interpolationKernel(double fraction)
{
    InterpolationKernel taps{};
    for (int j = 0; j < interpolationTaps; ++j) {
        double x = double(j - interpolationTaps / 2 + 1) - fraction;
        double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (interpolationTaps / 2));
        taps[size_t(j)] = sinc * window;
    }
    return taps;
}

// The largest magnitude of `channel` from sample n up to (not including) sample n + 1.
double peakAround(const std::vector<float>& channel, size_t n,
                  const std::array<InterpolationKernel, 3>& kernels)
{
    double peak = std::abs(channel[n]);
    for (const auto& taps : kernels) {
        double sum = 0.0;
        for (int j = 0; j < interpolationTaps; ++j) {
            auto index = std::ptrdiff_t(n) + j - interpolationTaps / 2 + 1;
            if (index >= 0 && size_t(index) < channel.size())
                sum += taps[size_t(j)] * channel[size_t(index)];
        }
        peak = std::max(peak, std::abs(sum));
    }
    return peak;
}

std::array<InterpolationKernel, 3> quarterKernels()
{
    return {interpolationKernel(0.25), interpolationKernel(0.5), interpolationKernel(0.75)};
}

// The peak of frame n on both sides; points between samples are only worth interpolating
// near samples that are large already.
double framePeak(const StereoBuffer& buffer, size_t n, double threshold,
                 const std::array<InterpolationKernel, 3>& kernels)
{
    double sampled = std::max(std::abs(buffer.left[n]), std::abs(buffer.right[n]));
    if (sampled < threshold && (n + 1 >= buffer.frames()
                                || std::max(std::abs(buffer.left[n + 1]),
                                            std::abs(buffer.right[n + 1])) < threshold))
        return sampled;
    return std::max(peakAround(buffer.left, n, kernels), peakAround(buffer.right, n, kernels));
}

// The smallest of values[n - radius .. n + radius] for every n.
std::vector<double> slidingMinimum(const std::vector<double>& values, size_t radius)
{
    std::vector<double> result(values.size());
    std::deque<size_t> candidates; // indices whose values increase from front to back
    size_t next = 0;
    for (size_t n = 0; n < values.size(); ++n) {
        for (; next < values.size() && next <= n + radius; ++next) {
            while (!candidates.empty() && values[candidates.back()] >= values[next])
                candidates.pop_back();
            candidates.push_back(next);
        }
        while (candidates.front() + radius < n)
            candidates.pop_front();
        result[n] = values[candidates.front()];
    }
    return result;
}

} // namespace

StereoBuffer PingPongDelay::process(const StereoBuffer& input) const
{
    StereoBuffer output(input.frames());
    auto delay = size_t(std::lround(delaySeconds * synthRate));
    std::vector<double> lineLeft(delay, 0.0), lineRight(delay, 0.0);
    OnePole damping, lowCut;
    damping.setup(dampingHz);
    lowCut.setup(lowCutHz);
    OnePole feedbackDamping;
    feedbackDamping.setup(dampingHz);
    size_t at = 0;
    for (size_t n = 0; n < input.frames(); ++n) {
        double outLeft = lineLeft[at], outRight = lineRight[at];
        output.left[n] = float(outLeft);
        output.right[n] = float(outRight);
        double mono = 0.5 * (input.left[n] + input.right[n]);
        double entering = lowCut.high(damping.low(mono));
        lineRight[at] = entering + feedback * feedbackDamping.low(outLeft);
        lineLeft[at] = feedback * outRight;
        if (++at == delay)
            at = 0;
    }
    return output;
}

StereoBuffer Reverb::process(const StereoBuffer& input) const
{
    constexpr size_t lineCount = 8;
    // Mutually prime lengths, so the echoes of the lines rarely coincide.
    constexpr std::array<double, lineCount> lineSamples = {1123, 1289, 1447, 1613,
                                                           1777, 1949, 2129, 2311};
    constexpr std::array<double, 4> diffuserSamples = {113, 179, 257, 347};
    constexpr double diffuserGain = 0.62;

    StereoBuffer output(input.frames());
    auto preDelay = size_t(std::lround(preDelaySeconds * synthRate)) + 1;
    std::vector<double> preLine(preDelay, 0.0);

    std::array<std::vector<double>, 4> diffusers;
    for (size_t i = 0; i < diffusers.size(); ++i)
        diffusers[i].assign(size_t(diffuserSamples[i] * size) + 1, 0.0);
    std::array<size_t, 4> diffuserAt{};

    std::array<std::vector<double>, lineCount> lines;
    std::array<double, lineCount> lineGain{};
    std::array<OnePole, lineCount> lineDamping;
    std::array<size_t, lineCount> lineAt{};
    for (size_t i = 0; i < lineCount; ++i) {
        size_t length = size_t(lineSamples[i] * size);
        lines[i].assign(length, 0.0);
        // The gain per pass that loses 60 dB over decaySeconds.
        lineGain[i] = std::pow(10.0, -3.0 * double(length) / (decaySeconds * synthRate));
        lineDamping[i].setup(dampingHz);
    }
    OnePole inputLowCut;
    inputLowCut.setup(lowCutHz);

    size_t preAt = 0;
    for (size_t n = 0; n < input.frames(); ++n) {
        double delayed = preLine[preAt];
        preLine[preAt] = inputLowCut.high(0.5 * (input.left[n] + input.right[n]));
        if (++preAt == preDelay)
            preAt = 0;

        // Schroeder all-passes smear the onsets into a dense wash before the lines.
        for (size_t i = 0; i < diffusers.size(); ++i) {
            double stored = diffusers[i][diffuserAt[i]];
            double entering = delayed + diffuserGain * stored;
            diffusers[i][diffuserAt[i]] = entering;
            delayed = stored - diffuserGain * entering;
            if (++diffuserAt[i] == diffusers[i].size())
                diffuserAt[i] = 0;
        }

        std::array<double, lineCount> out{};
        double sum = 0.0;
        for (size_t i = 0; i < lineCount; ++i) {
            out[i] = lineDamping[i].low(lines[i][lineAt[i]]) * lineGain[i];
            sum += out[i];
        }
        // Householder feedback (I - 2/N * ones): lossless and mixes every line into all.
        double reflection = 2.0 / lineCount * sum;
        double left = 0.0, right = 0.0;
        for (size_t i = 0; i < lineCount; ++i) {
            double sign = (i & 2) ? -1.0 : 1.0;
            lines[i][lineAt[i]] = out[i] - reflection + sign * delayed;
            if (++lineAt[i] == lines[i].size())
                lineAt[i] = 0;
            (i % 2 == 0 ? left : right) += sign * out[i];
        }
        output.left[n] = float(0.5 * left);
        output.right[n] = float(0.5 * right);
    }
    return output;
}

void duckUnderKicks(StereoBuffer& buffer, const std::vector<size_t>& kickFrames, double depth,
                    double recoverySeconds)
{
    // The gain dips over 3 ms rather than at once, which would click.
    const double dipSeconds = 0.003;
    size_t nextKick = 0;
    double lastKickFrame = -1e12;
    for (size_t n = 0; n < buffer.frames(); ++n) {
        while (nextKick < kickFrames.size() && kickFrames[nextKick] <= n)
            lastKickFrame = double(kickFrames[nextKick++]);
        double since = (double(n) - lastKickFrame) * synthSecondsPerSample;
        double dip = since < dipSeconds ? since / dipSeconds
                                        : std::exp(-(since - dipSeconds) / recoverySeconds);
        auto gain = float(1.0 - depth * dip);
        buffer.left[n] *= gain;
        buffer.right[n] *= gain;
    }
}

double integratedLoudness(const StereoBuffer& buffer)
{
    const size_t hop = synthRate / 10; // 100 ms; a block is four hops
    std::vector<double> hopEnergy;     // K-weighted sum of squares of both sides, per hop
    std::array<Biquad, 2> shelves = {KWeighting::shelf(), KWeighting::shelf()};
    std::array<Biquad, 2> highPasses = {KWeighting::highPass(), KWeighting::highPass()};
    double energy = 0.0;
    for (size_t n = 0; n < buffer.frames(); ++n) {
        double left = highPasses[0].process(shelves[0].process(buffer.left[n]));
        double right = highPasses[1].process(shelves[1].process(buffer.right[n]));
        energy += left * left + right * right;
        if ((n + 1) % hop == 0) {
            hopEnergy.push_back(energy);
            energy = 0.0;
        }
    }
    std::vector<double> blocks; // mean square summed over the sides
    for (size_t i = 3; i < hopEnergy.size(); ++i)
        blocks.push_back((hopEnergy[i - 3] + hopEnergy[i - 2] + hopEnergy[i - 1] + hopEnergy[i])
                         / double(4 * hop));
    auto loudnessOf = [](double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); };
    auto gatedMean = [&](double gateLufs) {
        double sum = 0.0;
        size_t count = 0;
        for (double block : blocks)
            if (block > 0.0 && loudnessOf(block) > gateLufs) {
                sum += block;
                ++count;
            }
        return count == 0 ? 0.0 : sum / double(count);
    };
    double absolutelyGated = gatedMean(-70.0);
    if (absolutelyGated <= 0.0)
        return -70.0;
    return loudnessOf(gatedMean(loudnessOf(absolutelyGated) - 10.0));
}

double truePeak(const StereoBuffer& buffer)
{
    auto kernels = quarterKernels();
    double peak = 0.0;
    for (size_t n = 0; n < buffer.frames(); ++n)
        peak = std::max(peak, framePeak(buffer, n, 0.5 * peak, kernels));
    return peak;
}

void limitPeaks(StereoBuffer& buffer, double ceiling, double lookaheadSeconds,
                double releaseSeconds)
{
    auto kernels = quarterKernels();
    std::vector<double> required(buffer.frames());
    for (size_t n = 0; n < buffer.frames(); ++n)
        required[n] = std::min(1.0, ceiling / std::max(framePeak(buffer, n, 0.8 * ceiling,
                                                                 kernels), 1e-9));
    // Every sample of the smoothing window below must see the dip of frame n, so the minimum
    // reaches as far to each side as that window does.
    auto radius = size_t(std::lround(0.5 * lookaheadSeconds * synthRate));
    auto lowest = slidingMinimum(required, radius);
    // A moving average of the minimum: a smooth ramp that still reaches every dip in time.
    std::vector<double> gain(buffer.frames());
    double sum = 0.0;
    size_t width = 2 * radius + 1;
    for (size_t n = 0; n < buffer.frames() + radius; ++n) {
        if (n < buffer.frames())
            sum += lowest[n];
        else
            sum += 1.0;
        if (n >= width)
            sum -= n - width < buffer.frames() ? lowest[n - width] : 1.0;
        if (n >= radius) {
            size_t centre = n - radius;
            size_t counted = std::min(width, n + 1);
            gain[centre] = (sum + double(width - counted)) / double(width);
        }
    }
    double recovery = 1.0 - std::exp(-1.0 / (releaseSeconds * synthRate));
    double held = 1.0;
    for (size_t n = 0; n < buffer.frames(); ++n) {
        held = gain[n] <= held ? gain[n] : held + recovery * (gain[n] - held);
        buffer.left[n] = float(buffer.left[n] * held);
        buffer.right[n] = float(buffer.right[n] * held);
    }
}

} // namespace tincrates::cratesmith

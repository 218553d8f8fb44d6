// The spectrum over FFTW (single precision, real input).
#include "audio/spectrum_analyser.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace tincrates {

namespace {

// Scale: magnitude = |X[k]| / sum(w), with samples in [-1, 1) (16-bit value / 32768) and the
// periodic Hann window w, whose sum is 256. Since |X[k]| <= sum(|x[n]| w[n]) <= sum(w), every
// value stays within 0 to 1 for 16-bit input; a full-scale sine at the centre of bin k
// gives |X[k]| = sum(w) / 2, so it reads 0.5 there.
constexpr float sampleScale = 1.0f / 32768.0f;

} // namespace

SpectrumAnalyser::SpectrumAnalyser()
{
    double windowSum = 0.0;
    for (size_t n = 0; n < spectrumWindowFrames; ++n) {
        double phase = 2.0 * std::numbers::pi * double(n) / double(spectrumWindowFrames);
        window[n] = float(0.5 - 0.5 * std::cos(phase));
        windowSum += window[n];
    }
    // Folding the magnitude scale into the window saves a multiply per bin.
    for (float& weight : window)
        weight = float(weight / windowSum);

    samples.reset(fftwf_alloc_real(spectrumWindowFrames));
    bins.reset(reinterpret_cast<float*>(fftwf_alloc_complex(spectrumBinCount + 1)));
    if (!samples || !bins)
        throw std::bad_alloc();
    plan.reset(fftwf_plan_dft_r2c_1d(int(spectrumWindowFrames), samples.get(),
                                     reinterpret_cast<fftwf_complex*>(bins.get()),
                                     FFTW_ESTIMATE));
    if (!plan)
        throw std::bad_alloc();
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

void SpectrumAnalyser::FftwBufferFree::operator()(void* buffer) const { fftwf_free(buffer); }

void SpectrumAnalyser::FftwPlanDestroy::operator()(void* plan) const
{
    fftwf_destroy_plan(static_cast<fftwf_plan>(plan));
}

void SpectrumAnalyser::analyse(const int16_t* frames, size_t frameCount, float* magnitudes)
{
    frameCount = std::min(frameCount, spectrumWindowFrames);
    for (size_t n = 0; n < frameCount; ++n) {
        float mono = 0.5f * (float(frames[2 * n]) + float(frames[2 * n + 1])) * sampleScale;
        samples.get()[n] = mono * window[n];
    }
    std::fill(samples.get() + frameCount, samples.get() + spectrumWindowFrames, 0.0f);

    fftwf_execute(static_cast<fftwf_plan>(plan.get()));

    auto* out = reinterpret_cast<const fftwf_complex*>(bins.get());
    for (size_t k = 0; k < spectrumBinCount; ++k)
        magnitudes[k] = std::min(1.0f, std::hypot(out[k][0], out[k][1]));
}

} // namespace tincrates

// Magnitude spectrum of 512 frames of the production's sound, the layout the timeline reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tincrates {

constexpr size_t spectrumWindowFrames = 512;
constexpr size_t spectrumBinCount = spectrumWindowFrames / 2; // bin k: about k × the sample rate / 512

// One FFT plan and its buffers, made once and reused for every analysis. Main thread only
// (FFTW plans are not made thread-safely).
class SpectrumAnalyser {
public:
    // Throws std::bad_alloc when FFTW cannot allocate its plan or buffers.
    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Writes to `magnitudes` (spectrumBinCount floats) the spectrum of the mono mix of up to
    // 512 interleaved 16-bit stereo frames; missing frames count as silence. Values lie in
    // [0, 1]: a full-scale sine at the centre of a bin reads 0.5 there.
    void analyse(const int16_t* frames, size_t frameCount, float* magnitudes);

private:
    struct FftwBufferFree {
        void operator()(void* buffer) const;
    };
    struct FftwPlanDestroy {
        void operator()(void* plan) const;
    };

    float window[spectrumWindowFrames]; // Hann, with the magnitude scale folded in
    // Declared in construction order; the plan refers to both buffers.
    std::unique_ptr<float, FftwBufferFree> samples;   // spectrumWindowFrames reals
    std::unique_ptr<float, FftwBufferFree> bins;      // spectrumBinCount + 1 complex values
    std::unique_ptr<void, FftwPlanDestroy> plan;
};

} // namespace tincrates

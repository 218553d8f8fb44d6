// Rate conversion of decoded sound to the production's 44.1 kHz.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tincrates {

// Appends to `out` the interleaved 16-bit stereo `in`, converted from `fromRate` Hz to
// 44,100 Hz: one second of input gives exactly 44,100 frames (rounded to the nearest frame).
// The result is the same on every run (no dither). Returns false, with `out` as it was, when
// memory runs out; throws nothing.
bool resampleToOutputRate(std::span<const int16_t> in, uint32_t fromRate,
                          std::vector<int16_t>& out);

} // namespace tincrates

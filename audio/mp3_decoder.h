// Whole-file MP3 decoding to the production's one sound format.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tincrates {

enum class Mp3DecodeResult {
    ok,
    noAudio,     // not one decodable MPEG audio frame in the block
    outOfMemory,
};

// Decodes every frame of the MPEG audio (layer I to III) in `mp3` to 44.1 kHz 16-bit
// stereo, interleaved: mono is duplicated, other rates are resampled (see resampler.h).
// Encoder delay and padding recorded by the encoder are trimmed, so byte offsets in `pcm`
// are exact times. Damage is skipped where the decoder finds the next frame; where it cannot,
// the sound ends there. On a result other than ok, `pcm` is empty. The block is only read
// during the call.
Mp3DecodeResult decodeMp3(std::span<const uint8_t> mp3, std::vector<int16_t>& pcm);

} // namespace tincrates

// Module-internal to the GL back-end: texels packed as runs of equal words, for the system
// copies of managed textures between uses. Overlay images (letters on wide transparent
// margins) pack to a small part of their size; noisy pictures do not, and are not kept so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tincrates::gl {

// Packs `count` words: a control word with the top bit set stands for that many (the other
// bits) copies of the word after it; one without, for that many words that follow as they are.
std::vector<uint32_t> packTexelRuns(const uint32_t* texels, size_t count);

// Unpacks into `texels`, which holds exactly the count that was packed.
void unpackTexelRuns(const std::vector<uint32_t>& packed, uint32_t* texels);

} // namespace tincrates::gl

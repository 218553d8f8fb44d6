// Run-length packing of texel words.
#include "platform/gpu/texel_runs.h"

#include <algorithm>
#include <cassert>

namespace tincrates::gl {

namespace {

constexpr uint32_t runBit = 0x80000000u;
constexpr size_t longestCount = runBit - 1;
// Shorter runs go with the literal words around them: a run costs two words.
constexpr size_t shortestRun = 3;

} // namespace

std::vector<uint32_t> packTexelRuns(const uint32_t* texels, size_t count)
{
    std::vector<uint32_t> packed;
    size_t literalStart = 0;
    auto flushLiterals = [&](size_t end) {
        while (literalStart < end) {
            size_t length = std::min(end - literalStart, longestCount);
            packed.push_back(uint32_t(length));
            packed.insert(packed.end(), texels + literalStart, texels + literalStart + length);
            literalStart += length;
        }
    };
    size_t i = 0;
    while (i < count) {
        size_t runEnd = i + 1;
        while (runEnd < count && texels[runEnd] == texels[i] && runEnd - i < longestCount)
            ++runEnd;
        if (runEnd - i >= shortestRun) {
            flushLiterals(i);
            packed.push_back(runBit | uint32_t(runEnd - i));
            packed.push_back(texels[i]);
            literalStart = runEnd;
        }
        i = runEnd;
    }
    flushLiterals(count);
    return packed;
}

void unpackTexelRuns(const std::vector<uint32_t>& packed, uint32_t* texels)
{
    size_t at = 0;
    while (at < packed.size()) {
        uint32_t control = packed[at++];
        size_t length = control & ~runBit;
        if (control & runBit) {
            assert(at < packed.size());
            texels = std::fill_n(texels, length, packed[at++]);
        } else {
            assert(at + length <= packed.size());
            texels = std::copy_n(packed.data() + at, length, texels);
            at += length;
        }
    }
}

} // namespace tincrates::gl

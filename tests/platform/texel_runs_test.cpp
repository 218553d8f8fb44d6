// Texels packed in runs come back word for word, and a uniform stretch packs to two words.
#include "platform/gpu/texel_runs.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates::gl {
namespace {

std::vector<uint32_t> roundTrip(const std::vector<uint32_t>& texels)
{
    std::vector<uint32_t> packed = packTexelRuns(texels.data(), texels.size());
    std::vector<uint32_t> unpacked(texels.size(), 0xDEADBEEFu);
    unpackTexelRuns(packed, unpacked.data());
    return unpacked;
}

TEST(TexelRuns, ComeBackWordForWord)
{
    const std::vector<std::vector<uint32_t>> cases = {
        {},
        {7},
        {7, 7},
        {7, 7, 7},
        {1, 2, 3, 4},
        {1, 1, 1, 1, 2, 3, 3, 3, 3, 3, 4, 5, 5},
        {9, 9, 8, 8, 8, 0x80000000u, 0x80000000u, 0x80000000u, 1},
    };
    for (const auto& texels : cases)
        EXPECT_EQ(roundTrip(texels), texels);
    std::vector<uint32_t> mixed(10000);
    for (size_t i = 0; i < mixed.size(); ++i)
        mixed[i] = (i / 37) % 3 == 0 ? 0x00100412u : uint32_t(i * 2654435761u);
    EXPECT_EQ(roundTrip(mixed), mixed);
}

TEST(TexelRuns, AUniformStretchPacksToTwoWords)
{
    std::vector<uint32_t> transparent(1408 * 480, 0x00120410u);
    EXPECT_EQ(packTexelRuns(transparent.data(), transparent.size()).size(), 2u);
}

} // namespace
} // namespace tincrates::gl

#include "datafiles/crc32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tincrates {
namespace {

TEST(Crc32, MatchesTheStandardCheckValue)
{
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0, "", 0), 0u);
    EXPECT_EQ(crc32Table()[1], 0x77073096u);
}

TEST(Crc32, ContinuesAcrossPiecesOfAnyLength)
{
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + i / 13);
    uint32_t whole = crc32(0, bytes.data(), bytes.size());
    for (size_t split : {0u, 1u, 7u, 8u, 9u, 500u, 999u}) {
        uint32_t part = crc32(0, bytes.data(), split);
        EXPECT_EQ(crc32(part, bytes.data() + split, bytes.size() - split), whole) << split;
    }
}

} // namespace
} // namespace tincrates

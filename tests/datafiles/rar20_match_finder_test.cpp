#include "datafiles/rar20_match_finder.h"

#include "support/writer_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tincrates::rar20 {
namespace {

using writer_test::Bytes;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Both finders answer the same questions the same way; they differ in how far they look.
template <typename Finder>
class AnyMatchFinder : public ::testing::Test {};
using Finders = ::testing::Types<MatchFinder, RowMatchFinder>;
TYPED_TEST_SUITE(AnyMatchFinder, Finders);

TYPED_TEST(AnyMatchFinder, FindsTheLongestMatchAndTheNearestAmongEqualOnes)
{
    Bytes data = bytesOf("abcdefXabcdeYabcdeZabcdefQ");
    TypeParam finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    // At the last "abcdef": the first one matches 6 bytes, the others 5.
    Match longest = finder.longestMatch(19, 257, 100, 257);
    EXPECT_EQ(longest.length, 6u);
    EXPECT_EQ(longest.distance, 19u);
    // At the third "abcde": both earlier ones match 5 bytes; the nearer wins.
    Match nearest = finder.longestMatch(13, 5, 100, 257);
    EXPECT_EQ(nearest.length, 5u);
    EXPECT_EQ(nearest.distance, 6u);
}

TYPED_TEST(AnyMatchFinder, StopsAtTheMaximumLengthAndDistance)
{
    Bytes data = writer_test::randomBytes(5000, 1);
    Bytes copy(data.begin(), data.begin() + 400);
    data.insert(data.end(), copy.begin(), copy.end());
    TypeParam finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    Match capped = finder.longestMatch(5000, 257, 100, 257);
    EXPECT_EQ(capped.length, 257u);
    EXPECT_EQ(capped.distance, 5000u);
    TypeParam nearOnly(data, 4999);
    nearOnly.insertUpTo(data.size());
    EXPECT_EQ(nearOnly.longestMatch(5000, 257, 100, 257).length, 0u);
}

TYPED_TEST(AnyMatchFinder, LeavesOutMatchesTooShortForTheirDistance)
{
    // Three equal bytes 0x2000 apart cannot be coded: far matches need four.
    Bytes data = writer_test::randomBytes(0x2000 + 3, 2);
    data[0x2000] = data[0];
    data[0x2001] = data[1];
    data[0x2002] = data[2];
    data[3] = uint8_t(data[0x2003 - 1] + 1);
    TypeParam finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    EXPECT_EQ(finder.longestMatch(0x2000, 3, 100, 257).length, 0u);
    EXPECT_EQ(minimumMatchLength(0x1FFF), 3u);
    EXPECT_EQ(minimumMatchLength(0x2000), 4u);
    EXPECT_EQ(minimumMatchLength(0x40000), 5u);
}

TYPED_TEST(AnyMatchFinder, SkippedPositionsAreNeverFound)
{
    Bytes data = bytesOf("xyzxyz--xyz");
    TypeParam finder(data, 1u << 20);
    finder.skipUpTo(3);
    finder.insertUpTo(data.size());
    Match match = finder.longestMatch(8, 3, 100, 257);
    EXPECT_EQ(match.distance, 5u) << "only the second xyz was added";
}

TYPED_TEST(AnyMatchFinder, FindsTheNearestEarlierPairOfBytes)
{
    Bytes data = bytesOf("ab...ab..xab....ab");
    TypeParam finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    EXPECT_EQ(finder.nearestPairDistance(10), 5u);
    EXPECT_EQ(finder.nearestPairDistance(0), 0u);
    TypeParam nearOnly(data, 4);
    nearOnly.insertUpTo(data.size());
    EXPECT_EQ(nearOnly.nearestPairDistance(10), 0u) << "farther than allowed";
}

TYPED_TEST(AnyMatchFinder, MeasuresMatchLengthsAcrossWordBoundaries)
{
    Bytes data = bytesOf("0123456789abcdefghij0123456789abcdefghiX");
    TypeParam finder(data, 1u << 20);
    EXPECT_EQ(finder.matchLength(20, 20, 100), 19u);
    EXPECT_EQ(finder.matchLength(20, 20, 7), 7u);
    EXPECT_EQ(finder.matchLength(20, 21, 100), 0u) << "before the start";
}

TYPED_TEST(AnyMatchFinder, ListsLongerAndLongerMatchesNearestFirst)
{
    Bytes data = bytesOf("abcdefgh_abcdefg_abcdef_abcde_abcdefgh");
    TypeParam finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    std::vector<Match> matches;
    finder.allMatches(30, 257, 100, 257, matches);
    ASSERT_EQ(matches.size(), 4u);
    EXPECT_EQ(matches[0].length, 5u);
    EXPECT_EQ(matches[0].distance, 6u);
    EXPECT_EQ(matches[3].length, 8u);
    EXPECT_EQ(matches[3].distance, 30u);
    for (size_t i = 1; i < matches.size(); ++i) {
        EXPECT_GT(matches[i].length, matches[i - 1].length);
        EXPECT_GT(matches[i].distance, matches[i - 1].distance);
    }
}

TEST(RowMatchFinder, FindsThreeByteMatchesCloseByAndKeepsWithinItsRow)
{
    // "xyz" 100 bytes back is a codable three-byte match; the row finder looks for such
    // matches at the nearest equal pair of bytes.
    Bytes data = writer_test::randomBytes(200, 3);
    data[50] = 'x', data[51] = 'y', data[52] = 'z', data[53] = 0;
    data[150] = 'x', data[151] = 'y', data[152] = 'z', data[153] = 1;
    RowMatchFinder finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    Match match = finder.longestMatch(150, 257, 4, 257);
    EXPECT_EQ(match.length, 3u);
    EXPECT_EQ(match.distance, 100u);

    // A row keeps the latest 32 positions: the 40th copy back is out of its sight, while
    // chains find it.
    Bytes repeated;
    for (int copy = 0; copy < 41; ++copy) {
        Bytes block = writer_test::randomBytes(64, uint32_t(copy + 10));
        block[0] = 'A', block[1] = 'B', block[2] = 'C', block[3] = 'D';
        if (copy == 0 || copy == 40)
            block[4] = 'E', block[5] = 'F', block[6] = 'G', block[7] = 'H';
        repeated.insert(repeated.end(), block.begin(), block.end());
    }
    RowMatchFinder rows(repeated, 1u << 20);
    rows.insertUpTo(repeated.size());
    EXPECT_LT(rows.longestMatch(40 * 64, 257, 100, 257).length, 8u);
    MatchFinder chains(repeated, 1u << 20);
    chains.insertUpTo(repeated.size());
    EXPECT_EQ(chains.longestMatch(40 * 64, 257, 100, 257).length, 8u);
}

} // namespace
} // namespace tincrates::rar20

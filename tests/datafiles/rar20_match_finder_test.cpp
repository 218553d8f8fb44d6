#include "datafiles/rar20_match_finder.h"

#include "writer_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace tincrates::rar20 {
namespace {

using writer_test::Bytes;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(MatchFinder, FindsTheLongestMatchAndTheNearestAmongEqualOnes)
{
    Bytes data = bytesOf("abcdefXabcdeYabcdeZabcdefQ");
    MatchFinder finder(data, 1u << 20);
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

TEST(MatchFinder, StopsAtTheMaximumLengthAndDistance)
{
    Bytes data = writer_test::randomBytes(5000, 1);
    Bytes copy(data.begin(), data.begin() + 400);
    data.insert(data.end(), copy.begin(), copy.end());
    MatchFinder finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    Match capped = finder.longestMatch(5000, 257, 100, 257);
    EXPECT_EQ(capped.length, 257u);
    EXPECT_EQ(capped.distance, 5000u);
    MatchFinder nearOnly(data, 4999);
    nearOnly.insertUpTo(data.size());
    EXPECT_EQ(nearOnly.longestMatch(5000, 257, 100, 257).length, 0u);
}

TEST(MatchFinder, LeavesOutMatchesTooShortForTheirDistance)
{
    // Three equal bytes 0x2000 apart cannot be coded: far matches need four.
    Bytes data = writer_test::randomBytes(0x2000 + 3, 2);
    data[0x2000] = data[0];
    data[0x2001] = data[1];
    data[0x2002] = data[2];
    data[3] = uint8_t(data[0x2003 - 1] + 1);
    MatchFinder finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    EXPECT_EQ(finder.longestMatch(0x2000, 3, 100, 257).length, 0u);
    EXPECT_EQ(minimumMatchLength(0x1FFF), 3u);
    EXPECT_EQ(minimumMatchLength(0x2000), 4u);
    EXPECT_EQ(minimumMatchLength(0x40000), 5u);
}

TEST(MatchFinder, SkippedPositionsAreNeverFound)
{
    Bytes data = bytesOf("xyzxyz--xyz");
    MatchFinder finder(data, 1u << 20);
    finder.skipUpTo(3);
    finder.insertUpTo(data.size());
    Match match = finder.longestMatch(8, 3, 100, 257);
    EXPECT_EQ(match.distance, 5u) << "only the second xyz was added";
}

TEST(MatchFinder, FindsTheNearestEarlierPairOfBytes)
{
    Bytes data = bytesOf("ab...ab..xab....ab");
    MatchFinder finder(data, 1u << 20);
    finder.insertUpTo(data.size());
    EXPECT_EQ(finder.nearestPairDistance(10), 5u);
    EXPECT_EQ(finder.nearestPairDistance(0), 0u);
    MatchFinder nearOnly(data, 4);
    nearOnly.insertUpTo(data.size());
    EXPECT_EQ(nearOnly.nearestPairDistance(10), 0u) << "farther than allowed";
}

TEST(MatchFinder, MeasuresMatchLengthsAcrossWordBoundaries)
{
    Bytes data = bytesOf("0123456789abcdefghij0123456789abcdefghiX");
    MatchFinder finder(data, 1u << 20);
    EXPECT_EQ(finder.matchLength(20, 20, 100), 19u);
    EXPECT_EQ(finder.matchLength(20, 20, 7), 7u);
    EXPECT_EQ(finder.matchLength(20, 21, 100), 0u) << "before the start";
}

} // namespace
} // namespace tincrates::rar20

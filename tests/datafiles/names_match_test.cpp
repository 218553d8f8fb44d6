// Member names compare without regard to case, with "/" and "\" alike.
#include "datafiles/archive_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace tincrates {
namespace {

TEST(NamesMatch, CaseAndSeparatorsDoNotMatter)
{
    EXPECT_TRUE(namesMatch("Data/Tex.PNG", "data\\tex.png"));
    EXPECT_TRUE(namesMatch("data\\tex.png", "DATA_TEX.PNG"));
    EXPECT_TRUE(namesMatch("DATA_TEX.PNG", "Data/Tex.PNG"));
    EXPECT_TRUE(namesMatch("", ""));
}

TEST(NamesMatch, DifferentNamesDoNotMatch)
{
    EXPECT_FALSE(namesMatch("tex.png", "tex.pn"));
    EXPECT_FALSE(namesMatch("tex.pn", "tex.png"));
    EXPECT_FALSE(namesMatch("tex.png", ""));
    EXPECT_FALSE(namesMatch("a-b", "a_b"));
    EXPECT_FALSE(namesMatch(nullptr, "a"));
    EXPECT_FALSE(namesMatch("a", nullptr));
}

TEST(NamesMatch, OnlyAsciiLettersChangeCase)
{
    // Bytes of other encodings stay as they are, whatever the locale says.
    EXPECT_FALSE(namesMatch("\xe4", "\xc4"));
    EXPECT_TRUE(namesMatch("\xe4.txt", "\xe4.TXT"));
}

TEST(NamesMatch, NamesOfAnyLengthCompareWhole)
{
    std::string longName(100000, 'a');
    std::string same(100000, 'A');
    EXPECT_TRUE(namesMatch(longName.c_str(), same.c_str()));
    same.back() = 'b';
    EXPECT_FALSE(namesMatch(longName.c_str(), same.c_str()));
}

} // namespace
} // namespace tincrates

// What the reader of the sync editor's document refuses, and the line it names.
#include "sync/tracks_file.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tincrates {
namespace {

std::string errorReading(std::string_view text)
{
    try {
        readTracksDocument(text);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

std::string withKey(const std::string& key)
{
    return "<sync rows=\"8\">\n<tracks>\n<track name=\"a\">\n" + key
        + "\n</track>\n</tracks>\n</sync>\n";
}

TEST(TracksDocumentError, AKeyWithoutRow)
{
    EXPECT_EQ(errorReading(withKey(R"(<key value="1" interpolation="0"/>)")),
              "line 4: <key> without row");
}

TEST(TracksDocumentError, AKeyWithoutValue)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" interpolation="0"/>)")),
              "line 4: <key> without value");
}

TEST(TracksDocumentError, AKeyWithoutInterpolation)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="1"/>)")),
              "line 4: <key> without interpolation");
}

TEST(TracksDocumentError, AValueThatIsNoNumber)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="abc" interpolation="0"/>)")),
              "line 4: value \"abc\" is not a finite number");
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="1.5x" interpolation="0"/>)")),
              "line 4: value \"1.5x\" is not a finite number");
}

TEST(TracksDocumentError, AValueThatIsNotFinite)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="inf" interpolation="0"/>)")),
              "line 4: value \"inf\" is not a finite number");
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="nan" interpolation="0"/>)")),
              "line 4: value \"nan\" is not a finite number");
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="1e39" interpolation="0"/>)")),
              "line 4: value \"1e39\" is not a finite number");
}

TEST(TracksDocumentError, ARowThatIsNotAWholeNumberInRange)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="-1" value="1" interpolation="0"/>)")),
              "line 4: row \"-1\" is not a whole number in 0..2147483647");
    EXPECT_EQ(errorReading(withKey(R"(<key row="2.5" value="1" interpolation="0"/>)")),
              "line 4: row \"2.5\" is not a whole number in 0..2147483647");
    EXPECT_EQ(errorReading(withKey(R"(<key row="2147483648" value="1" interpolation="0"/>)")),
              "line 4: row \"2147483648\" is not a whole number in 0..2147483647");
    EXPECT_EQ(errorReading(withKey(R"(<key row="" value="1" interpolation="0"/>)")),
              "line 4: row \"\" is not a whole number in 0..2147483647");
}

TEST(TracksDocumentError, DocumentRowsOutOfRange)
{
    EXPECT_EQ(errorReading("<sync rows=\"99999999999\"/>"),
              "line 1: rows \"99999999999\" is not a whole number in 0..2147483647");
}

TEST(TracksDocumentError, AnInterpolationBeyondThree)
{
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="1" interpolation="4"/>)")),
              "line 4: interpolation \"4\" is not one of 0..3");
    EXPECT_EQ(errorReading(withKey(R"(<key row="1" value="1" interpolation="linear"/>)")),
              "line 4: interpolation \"linear\" is not one of 0..3");
}

TEST(TracksDocumentError, ATrackWithoutAName)
{
    EXPECT_EQ(errorReading("<sync rows=\"8\">\n<tracks>\n<track/>\n</tracks>\n</sync>"),
              "line 3: <track> without a name");
    EXPECT_EQ(errorReading("<sync rows=\"8\">\n<tracks>\n<track name=\"\"/>\n</tracks>\n</sync>"),
              "line 3: <track> without a name");
}

TEST(TracksDocumentError, ATextThatIsNotWellFormed)
{
    EXPECT_EQ(errorReading("<sync rows=\"8\">\n<tracks>\n</sync>"),
              "line 3: Error reading end tag.");
    EXPECT_EQ(errorReading(""), "line 1: Error document empty.");
}

TEST(TracksDocumentError, ARootOtherThanSync)
{
    EXPECT_EQ(errorReading("\n<scene/>"), "line 2: <scene> where <sync> belongs");
}

TEST(TracksDocumentError, ANulCharacter)
{
    EXPECT_EQ(errorReading(std::string("<sync rows=\"8\">\n<tracks/>\0</sync>", 32)),
              "line 2: NUL character");
}

TEST(TracksDocumentError, ElementsNestedTooDeeply)
{
    std::string text = "<sync>\n";
    for (int level = 0; level < 10000; ++level)
        text += "<a>";
    EXPECT_EQ(errorReading(text), "line 2: elements nested too deeply");
}

TEST(TracksDocumentError, ATextEndingInsideAUtf8Sequence)
{
    EXPECT_EQ(errorReading("<sync rows=\"8\"><tracks><track name=\"\xf0"), "line 1: not UTF-8");
}

TEST(TracksDocumentError, ABrokenUtf8Sequence)
{
    EXPECT_EQ(errorReading("<sync rows=\"8\">\n<tracks>\n<track name=\"a\xd7&gt;\"/>"),
              "line 3: not UTF-8");
    EXPECT_EQ(errorReading("<sync rows=\"8\">\n<tracks>\n\n<track name=\"\xe9t\xe9\"/>"),
              "line 4: not UTF-8");
}

} // namespace
} // namespace tincrates

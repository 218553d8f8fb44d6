// Bytes no sync editor sends: each is refused with one line saying why.
#include "sync/editor_protocol.h"

#include "support/stand_in_sync_editor.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::editorBytes::fromHex;

// The error of reading `hex` as the first commands of a connection that asked for two tracks.
std::string errorOf(std::string_view hex)
{
    std::string bytes = fromHex(hex);
    EditorMessageReader reader(2);
    reader.append({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    try {
        while (reader.next()) {
        }
    } catch (const EditorProtocolError& error) {
        return error.what();
    }
    return "";
}

TEST(EditorMessageError, AnUnknownCommandByte)
{
    EXPECT_EQ(errorOf("04 01 07"), "unknown command byte 0x07");
    EXPECT_EQ(errorOf("ff"), "unknown command byte 0xff");
}

TEST(EditorMessageError, GetTrackFromTheEditor)
{
    EXPECT_EQ(errorOf("02 00000001 61"), "unknown command byte 0x02");
}

TEST(EditorMessageError, ATrackNeverAskedFor)
{
    EXPECT_EQ(errorOf("00 00000002 00000000 3f800000 00"),
              "track 2 was never asked for (2 tracks asked for)");
    EXPECT_EQ(errorOf("01 ffffffff 00000000"),
              "track 4294967295 was never asked for (2 tracks asked for)");
}

TEST(EditorMessageError, AnInterpolationBeyondThree)
{
    EXPECT_EQ(errorOf("00 00000000 00000000 3f800000 04"), "interpolation 4 is not one of 0..3");
}

TEST(EditorMessageError, AValueThatIsNotFinite)
{
    EXPECT_EQ(errorOf("00 00000001 00000000 7fc00000 00"),
              "value 0x7fc00000 is not a finite number");
    EXPECT_EQ(errorOf("00 00000001 00000000 ff800000 00"),
              "value 0xff800000 is not a finite number");
}

TEST(EditorMessageError, ARowBeyondTheLargest)
{
    EXPECT_EQ(errorOf("03 80000000"), "row 2147483648 beyond 2147483647");
    EXPECT_EQ(errorOf("00 00000000 ffffffff 3f800000 00"), "row 4294967295 beyond 2147483647");
    EXPECT_EQ(errorOf("01 00000000 80000000"), "row 2147483648 beyond 2147483647");
}

TEST(EditorMessageError, APauseByteOtherThanZeroOrOne)
{
    EXPECT_EQ(errorOf("04 02"), "PAUSE byte 0x02 is neither 0 nor 1");
}

TEST(EditorMessageError, KeepsRefusingTheSameBytes)
{
    std::string bytes = fromHex("05 09");
    EditorMessageReader reader(1);
    reader.append({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    EXPECT_TRUE(reader.next());
    EXPECT_THROW(reader.next(), EditorProtocolError);
    EXPECT_THROW(reader.next(), EditorProtocolError);
}

} // namespace
} // namespace tincrates

// What the production sends, byte for byte, and its check of the editor's greeting.
#include "sync/editor_protocol.h"

#include "support/stand_in_sync_editor.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::editorBytes::fromHex;

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(EditorGreeting, GetTrackAndSetRowAreLaidOutAsTheEditorReadsThem)
{
    EXPECT_EQ(encodeGetTrack("camera:fov"), fromHex("02 0000000a 63616d6572613a666f76"));
    EXPECT_EQ(encodeGetTrack("flash"), fromHex("02 00000005 666c617368"));
    EXPECT_EQ(encodeSetRow(19), fromHex("03 00000013"));
    EXPECT_EQ(encodeSetRow(0x01020304), fromHex("03 01020304"));
}

TEST(EditorGreeting, TheEditorsGreetingMayComeInPieces)
{
    EditorGreetingReader greeting;
    EXPECT_EQ(greeting.append(bytesOf("hello")), 5u);
    EXPECT_FALSE(greeting.isComplete());
    EXPECT_EQ(greeting.append(bytesOf(", demo")), 6u);
    EXPECT_EQ(greeting.append(bytesOf("!\x04\x01")), 1u);
    EXPECT_TRUE(greeting.isComplete());
    EXPECT_EQ(greeting.append(bytesOf("\x03")), 0u);
}

TEST(EditorGreeting, AnotherGreetingIsRefusedAtItsFirstWrongByte)
{
    EditorGreetingReader greeting;
    greeting.append(bytesOf("hel"));
    try {
        greeting.append(bytesOf("p"));
        FAIL() << "no error";
    } catch (const EditorProtocolError& error) {
        EXPECT_STREQ(error.what(), "no sync editor's greeting");
    }
}

} // namespace
} // namespace tincrates

// Reading the sync editor's commands out of bytes as they arrive: whole, byte by byte or in
// any pieces, the same commands come out.
#include "sync/editor_protocol.h"

#include "support/stand_in_sync_editor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tincrates {
namespace {

using testing::editorBytes::fromHex;
using Kind = EditorCommand::Kind;

// What the editor sent in one observed connection, after its greeting.
const std::string transcript = fromHex(
    "04 01"
    "03 00000000"
    "00 00000000 00000000 42700000 02"
    "00 00000000 00000020 42b40000 01"
    "00 00000000 00000040 41f00000 00"
    "00 00000001 00000008 3f800000 03"
    "04 00"
    "04 01"
    "00 00000001 00000024 40200000 00"
    "05"
    "01 00000001 00000024");

EditorCommand setKey(uint32_t track, uint32_t row, float value, KeyInterpolation interpolation)
{
    EditorCommand command;
    command.kind = Kind::setKey;
    command.track = track;
    command.key = {row, value, interpolation};
    return command;
}

EditorCommand other(Kind kind, uint32_t row = 0, bool paused = false)
{
    EditorCommand command;
    command.kind = kind;
    command.row = row;
    command.paused = paused;
    return command;
}

const std::vector<EditorCommand> transcriptCommands = [] {
    EditorCommand deleteKey;
    deleteKey.kind = Kind::deleteKey;
    deleteKey.track = 1;
    deleteKey.key.row = 36;
    deleteKey.row = 36;
    return std::vector<EditorCommand>{
        other(Kind::pause, 0, true),
        other(Kind::setRow, 0),
        setKey(0, 0, 60, KeyInterpolation::smooth),
        setKey(0, 32, 90, KeyInterpolation::linear),
        setKey(0, 64, 30, KeyInterpolation::step),
        setKey(1, 8, 1, KeyInterpolation::ramp),
        other(Kind::pause, 0, false),
        other(Kind::pause, 0, true),
        setKey(1, 36, 2.5f, KeyInterpolation::step),
        other(Kind::saveTracks),
        deleteKey,
    };
}();

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Feeds the transcript in pieces of the given sizes (the last takes the rest), reading all
// commands after each piece.
std::vector<EditorCommand> readInPieces(const std::vector<size_t>& sizes)
{
    EditorMessageReader reader(2);
    std::vector<EditorCommand> commands;
    size_t at = 0;
    for (size_t i = 0; at < transcript.size(); ++i) {
        size_t size = i < sizes.size() ? sizes[i] : transcript.size() - at;
        size = std::min(size, transcript.size() - at);
        reader.append(bytesOf(std::string_view(transcript).substr(at, size)));
        at += size;
        while (std::optional<EditorCommand> command = reader.next())
            commands.push_back(*command);
    }
    EXPECT_FALSE(reader.hasPartialCommand());
    return commands;
}

TEST(EditorMessageReader, ReadsTheTranscriptInOnePiece)
{
    EXPECT_EQ(readInPieces({}), transcriptCommands);
}

TEST(EditorMessageReader, ReadsTheTranscriptByteByByte)
{
    EXPECT_EQ(readInPieces(std::vector<size_t>(transcript.size(), 1)), transcriptCommands);
}

TEST(EditorMessageReader, ReadsTheTranscriptInRandomPieces)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::vector<size_t> sizes;
        for (size_t total = 0; total < transcript.size();) {
            sizes.push_back(std::uniform_int_distribution<size_t>(0, 20)(random));
            total += sizes.back();
        }
        ASSERT_EQ(readInPieces(sizes), transcriptCommands) << "round " << round;
    }
}

TEST(EditorMessageReader, GivesNothingUntilACommandIsWhole)
{
    EditorMessageReader reader(1);
    std::string command = fromHex("00 00000000 00000005 3f800000 01");
    reader.append(bytesOf(std::string_view(command).substr(0, 13)));
    EXPECT_EQ(reader.next(), std::nullopt);
    EXPECT_TRUE(reader.hasPartialCommand());
    reader.append(bytesOf(std::string_view(command).substr(13)));
    EXPECT_EQ(reader.next(), setKey(0, 5, 1, KeyInterpolation::linear));
    EXPECT_EQ(reader.next(), std::nullopt);
}

TEST(EditorMessageReader, TakesTheLargestRow)
{
    EditorMessageReader reader(1);
    reader.append(bytesOf(fromHex("03 7fffffff")));
    EXPECT_EQ(reader.next(), other(Kind::setRow, 2147483647));
}

} // namespace
} // namespace tincrates

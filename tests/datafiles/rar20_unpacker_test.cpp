// The RAR 2.0 decoder on exact streams: each case writes the symbols it is about and checks
// the content a correct decoder produces.
#include "datafiles/archive_reader.h"

#include "support/rar20_stream_writer.h"
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tincrates {
namespace {

using testing::Bytes;
using testing::Rar20StreamWriter;
using testing::ScratchDir;
using testing::TestArchive;
using testing::compressedMember;

struct Extracted {
    ArchiveError error;
    Bytes content;
};

Extracted extract(const TestArchive& archive, const char* name, const char* password = nullptr)
{
    ScratchDir dir;
    archive.writeTo("test.rar");
    Extracted result;
    result.error = extractArchiveMember("test.rar", name, password, result.content);
    return result;
}

// The content of a one-member archive holding the stream `writer` wrote.
Extracted decode(Rar20StreamWriter& writer)
{
    Bytes expected = writer.expected;
    TestArchive archive;
    archive.add(compressedMember("m", writer.finish(), expected));
    return extract(archive, "m");
}

Bytes randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& b : bytes)
        b = uint8_t(random());
    return bytes;
}

TEST(Rar20Unpacker, LiteralsOnlyReproduceTheLiterals)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("crates tumble in the fog");
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, testing::bytesOf("crates tumble in the fog"));
}

TEST(Rar20Unpacker, OverlappingMatchRepeatsTheLastByte)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("x");
    writer.match(10, 1);
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, Bytes(11, 'x'));
}

TEST(Rar20Unpacker, FarMatchesGetLongerFromDistance0x2000And0x40000)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    for (uint8_t b : randomBytes(0x40000 + 100, 1))
        writer.literalByte(b);
    // Each boundary and the distance just below it; a decoder that adds the bonus at the
    // wrong place loses step with the stream and fails.
    writer.match(5, 0x1FFF);
    writer.match(5, 0x2000);
    writer.match(6, 0x3FFFF);
    writer.match(6, 0x40000);
    writer.match(259, 0x40010);
    writer.literals("end");
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

TEST(Rar20Unpacker, RepeatedDistancesGetLongerFrom0x101)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    for (uint8_t b : randomBytes(0x50000, 2))
        writer.literalByte(b);
    writer.match(4, 0x100);
    writer.oldDistance(1, 3); // 0x100: no bonus
    writer.match(4, 0x101);
    writer.oldDistance(1, 4); // 0x101: one more
    writer.match(5, 0x2000);
    writer.oldDistance(1, 5); // two more
    writer.match(6, 0x40000);
    writer.oldDistance(1, 6); // three more
    writer.oldDistance(4, 4); // 0x2000 again, from further back
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

TEST(Rar20Unpacker, RepeatLastMatchCopiesItAgainAndPushesItsDistance)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("abcdefghijklmnop");
    writer.match(4, 3);
    writer.match(5, 7);
    writer.repeatLast();      // 5 bytes from 7 back, and 7 enters the history again
    writer.oldDistance(2, 3); // 7 (pushed twice); without the push this would be 3
    writer.oldDistance(4, 3);
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
    EXPECT_EQ(result.content.size(), 16u + 4 + 5 + 5 + 3 + 3);
}

TEST(Rar20Unpacker, ShortMatchesCoverEveryDistanceClass)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    for (uint8_t b : randomBytes(300, 3))
        writer.literalByte(b);
    for (uint32_t distance : {1u, 4u, 5u, 8u, 9u, 16u, 17u, 32u, 33u, 64u, 65u, 128u, 129u, 192u,
                              193u, 256u})
        writer.shortMatch(distance);
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

TEST(Rar20Unpacker, TableSwitchInTheMiddleOfAMember)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("first tables, ");
    writer.match(6, 7);
    // New lengths, coded once from scratch and once as differences to the set before.
    writer.switchToLz(Rar20StreamWriter::fullLzLengths({'s', 'e', 'c'}));
    writer.literals("second tables");
    writer.match(4, 13);
    writer.switchToLz(Rar20StreamWriter::fullLzLengths({'t'}), true);
    writer.literals("third");
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

// Bytes made with every predictor weight still 0 (fewer than 32 per channel), where each
// channel's byte is its own previous byte minus the delta: the output shows which predictor
// made each byte.
Extracted decodeChannels(int channels, Rar20StreamWriter& writer)
{
    std::vector<uint8_t> previous(size_t(channels), 0);
    for (int i = 0; i < 24 * channels; ++i) {
        int channel = i % channels;
        uint8_t delta = uint8_t(-(channel + 1) * 3); // channel c climbs by 3 (c + 1) per byte
        previous[size_t(channel)] = uint8_t(previous[size_t(channel)] - delta);
        writer.audioDelta(delta, previous[size_t(channel)]);
    }
    return decode(writer);
}

TEST(Rar20Unpacker, AudioWithTwoChannelsAlternatesPredictors)
{
    Rar20StreamWriter writer;
    writer.audioTables(2);
    auto result = decodeChannels(2, writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
    EXPECT_EQ(result.content[0], 3);
    EXPECT_EQ(result.content[1], 6);
    EXPECT_EQ(result.content[2], 6);
    EXPECT_EQ(result.content[3], 12);
}

TEST(Rar20Unpacker, AudioWithFourChannelsAlternatesPredictors)
{
    Rar20StreamWriter writer;
    writer.audioTables(4);
    auto result = decodeChannels(4, writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

TEST(Rar20Unpacker, SwitchesBetweenLzAndAudioInOneMember)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("RIFF");
    writer.switchToAudio(1);
    writer.audioDelta(uint8_t(-5), 5); // the predictor starts from 0
    writer.audioDelta(uint8_t(-5), 10);
    writer.switchToLz();
    writer.literals("data");
    writer.match(4, 6); // reaches back over the audio bytes
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, writer.expected);
}

TEST(Rar20Unpacker, EmptyMemberStillReadsItsTables)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_TRUE(result.content.empty());

    // The same with no packed data at all, as directory entries are stored.
    TestArchive archive;
    archive.add(compressedMember("dir", {}, {}));
    auto empty = extract(archive, "dir");
    EXPECT_EQ(empty.error, ArchiveError::ok);
    EXPECT_TRUE(empty.content.empty());
}

// A solid pair: the second member has no tables of its own and copies from the first.
TestArchive solidPair(uint16_t mainFlags, Bytes* secondContent)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("shared history, ");
    // Tables that follow the first member's last byte belong to the second member.
    writer.switchToLz(Rar20StreamWriter::fullLzLengths({'!'}));
    Bytes first = writer.expected;
    TestArchive archive(mainFlags);
    archive.add(compressedMember("first", writer.finish(), first));

    writer.match(14, 16);
    writer.literals("!!");
    *secondContent = Bytes(writer.expected.begin() + long(first.size()), writer.expected.end());
    auto second = compressedMember("second", writer.finish(), *secondContent);
    second.flags = rar::LHD_SOLID;
    archive.add(second);
    return archive;
}

TEST(Rar20Unpacker, SolidMemberContinuesItsPredecessor)
{
    Bytes expected;
    auto archive = solidPair(rar::MHD_SOLID, &expected);
    auto result = extract(archive, "second");
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_EQ(result.content, expected);
    EXPECT_EQ(result.content, testing::bytesOf("shared history!!"));
}

TEST(Rar20Unpacker, SolidMemberFailsWithoutItsPredecessor)
{
    // Without the archive's solid flag the first member is skipped, not decoded.
    Bytes expected;
    auto archive = solidPair(0, &expected);
    auto result = extract(archive, "second");
    EXPECT_TRUE(result.error == ArchiveError::badCrc || result.error == ArchiveError::damagedData)
        << describeArchiveError(result.error);
}

TEST(Rar20Unpacker, EncryptedStreamNeedsTheRightPassword)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("under lock, ");
    writer.match(30, 12);
    Bytes content = writer.expected;
    auto member = compressedMember("locked", writer.finish(), content);
    member.password = "Kd7M";
    TestArchive archive;
    archive.add(member);

    auto right = extract(archive, "locked", "Kd7M");
    ASSERT_EQ(right.error, ArchiveError::ok);
    EXPECT_EQ(right.content, content);

    auto wrong = extract(archive, "locked", "kd7M");
    EXPECT_TRUE(wrong.error == ArchiveError::badCrc || wrong.error == ArchiveError::damagedData)
        << describeArchiveError(wrong.error);
    EXPECT_TRUE(wrong.content.empty());
    for (const char* none : {"", static_cast<const char*>(nullptr)}) {
        auto result = extract(archive, "locked", none);
        EXPECT_EQ(result.error, ArchiveError::needsPassword);
        EXPECT_TRUE(result.content.empty());
    }
}

TEST(Rar20Unpacker, EncryptedSolidMembersEachStartTheirOwnKeys)
{
    Bytes expected;
    auto archive = solidPair(rar::MHD_SOLID, &expected);
    // Rebuild both members encrypted: the keys start afresh for each member of a solid run.
    testing::TestArchive locked(rar::MHD_SOLID);
    {
        Rar20StreamWriter writer;
        writer.lzTables();
        writer.literals("shared history, ");
        writer.switchToLz(Rar20StreamWriter::fullLzLengths({'!'}));
        Bytes first = writer.expected;
        auto one = compressedMember("first", writer.finish(), first);
        one.password = "Kd7M";
        locked.add(one);
        writer.match(14, 16);
        writer.literals("!!");
        auto two = compressedMember("second", writer.finish(), expected);
        two.flags = rar::LHD_SOLID;
        two.password = "Kd7M";
        locked.add(two);
    }
    auto result = extract(locked, "second", "Kd7M");
    ASSERT_EQ(result.error, ArchiveError::ok) << describeArchiveError(result.error);
    EXPECT_EQ(result.content, expected);
}

TEST(Rar20Unpacker, MembersLongerThanTheWindowWrapAround)
{
    // 1.5 MiB of output from a little input: the window wraps and is flushed many times.
    Rar20StreamWriter writer;
    writer.lzTables();
    for (uint8_t b : randomBytes(5000, 4))
        writer.literalByte(b);
    std::mt19937 random(5);
    while (writer.expected.size() < 1536 * 1024) {
        uint32_t reach = std::min<uint32_t>(uint32_t(writer.expected.size()), 0xFFFFF);
        uint32_t distance = 1 + random() % reach;
        writer.match(5 + random() % 250, distance);
        writer.literalByte(uint8_t(random()));
    }
    auto result = decode(writer);
    ASSERT_EQ(result.error, ArchiveError::ok);
    EXPECT_TRUE(result.content == writer.expected);
}

TEST(Rar20Unpacker, StreamThatRunsOutOfDataFailsCleanly)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("cut short");
    Bytes content = writer.expected;
    Bytes stream = writer.finish();
    stream.resize(stream.size() - 2);
    TestArchive archive;
    auto member = compressedMember("m", stream, content);
    archive.add(member);
    auto result = extract(archive, "m");
    EXPECT_EQ(result.error, ArchiveError::damagedData);
}

} // namespace
} // namespace tincrates

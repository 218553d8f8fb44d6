// Streaming a member to a writer: pieces in order, only the member's own bytes, the check at
// the end, and a writer that refuses.
#include "datafiles/archive_reader.h"

#include "datafiles/archive_writer.h"
#include "support/rar_test_archive.h"
#include "support/writer_test_support.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tincrates {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScratchDir;

struct Streamed {
    ArchiveError result;
    Bytes bytes;
    size_t pieces = 0;
    size_t largestPiece = 0;
};

Streamed streamNamed(const char* archive, const char* name, const char* password = nullptr)
{
    Streamed out;
    out.result = streamArchiveMember(
        archive, [&](const ArchiveEntry& entry) { return namesMatch(name, entry.name.c_str()); },
        password, [&](const uint8_t* data, size_t size) {
            out.bytes.insert(out.bytes.end(), data, data + size);
            ++out.pieces;
            out.largestPiece = std::max(out.largestPiece, size);
            return true;
        });
    return out;
}

void writeArchive(const char* path, const ArchiveSettings& settings,
                  const std::vector<std::pair<std::string, Bytes>>& members)
{
    ArchiveWriter writer(path, settings);
    for (const auto& [name, content] : members)
        writer.addMember(name, content, 0);
    writer.finish();
}

TEST(MemberStream, AMemberLargerThanTheWindowArrivesInOrderInPiecesOfAtMostAWindow)
{
    ScratchDir dir;
    Bytes content = writer_test::textBytes(3 << 20, 1);
    writeArchive("big.rar", {1, false, ""}, {{"big.txt", content}});

    Streamed streamed = streamNamed("big.rar", "BIG.TXT");
    ASSERT_EQ(streamed.result, ArchiveError::ok);
    EXPECT_TRUE(streamed.bytes == content);
    EXPECT_GE(streamed.pieces, 3u);
    EXPECT_LE(streamed.largestPiece, size_t(1) << 20);
}

TEST(MemberStream, EncryptedMembersStreamOnlyTheirOwnBytesNotTheCipherPadding)
{
    ScratchDir dir;
    // Stored (random bytes do not shrink) and compressed, neither a multiple of 16 long.
    Bytes random = writer_test::randomBytes(100001, 2);
    Bytes text = writer_test::textBytes(70001, 3);
    writeArchive("locked.rar", {3, false, "Kd7M"}, {{"random.bin", random}, {"text.txt", text}});

    Streamed stored = streamNamed("locked.rar", "random.bin", "Kd7M");
    ASSERT_EQ(stored.result, ArchiveError::ok);
    EXPECT_TRUE(stored.bytes == random);
    Streamed packed = streamNamed("locked.rar", "text.txt", "Kd7M");
    ASSERT_EQ(packed.result, ArchiveError::ok);
    EXPECT_TRUE(packed.bytes == text);

    // The check comes at the end: the writer has had the (wrong) bytes by then.
    Streamed wrong = streamNamed("locked.rar", "text.txt", "wrong");
    EXPECT_EQ(wrong.result, ArchiveError::badCrc);
}

TEST(MemberStream, AMemberOfASolidArchiveFollowsTheMembersBeforeIt)
{
    ScratchDir dir;
    Bytes first = writer_test::textBytes(200000, 4);
    Bytes second = writer_test::binaryBytes(150000, 5);
    Bytes third = first; // found whole in the window the others left
    third[1000] ^= 1;
    writeArchive("solid.rar", {3, true, "Kd7M"},
                 {{"a", first}, {"b", second}, {"c", third}});

    Streamed streamed = streamNamed("solid.rar", "c", "Kd7M");
    ASSERT_EQ(streamed.result, ArchiveError::ok);
    EXPECT_TRUE(streamed.bytes == third);
    EXPECT_EQ(streamNamed("solid.rar", "d", "Kd7M").result, ArchiveError::noSuchMember);
}

TEST(MemberStream, TheFilterPicksByPlaceAsWellAsByName)
{
    ScratchDir dir;
    testing::TestArchive archive;
    archive.add(testing::storedMember("same.txt", "first"))
        .add(testing::storedMember("same.txt", "second"));
    archive.writeTo("twice.rar");

    size_t index = 0;
    std::string received;
    ArchiveError result = streamArchiveMember(
        "twice.rar", [&](const ArchiveEntry&) { return index++ == 1; }, nullptr,
        [&](const uint8_t* data, size_t size) {
            received.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
    EXPECT_EQ(result, ArchiveError::ok);
    EXPECT_EQ(received, "second");
}

TEST(MemberStream, AWriterThatRefusesStopsTheExtraction)
{
    ScratchDir dir;
    Bytes text = writer_test::textBytes(3 << 20, 6);
    writeArchive("packed.rar", {1, false, ""}, {{"text.txt", text}});
    writeArchive("stored.rar", {0, false, ""}, {{"text.txt", text}});

    for (const char* archive : {"packed.rar", "stored.rar"}) {
        size_t calls = 0;
        ArchiveError result = streamArchiveMember(
            archive, [](const ArchiveEntry&) { return true; }, nullptr,
            [&](const uint8_t*, size_t) { return ++calls < 2; });
        EXPECT_EQ(result, ArchiveError::writeFailed) << archive;
        EXPECT_EQ(calls, 2u) << archive << ": no bytes are offered after a refusal";
    }
    EXPECT_EQ(describeArchiveError(ArchiveError::writeFailed), "cannot write the member's bytes");
}

} // namespace
} // namespace tincrates

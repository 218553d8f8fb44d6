// The archive container: the block walk, member lookup, stored and encrypted members, and
// the lookup's all-or-nothing result.
#include "datafiles/archive_reader.h"

#include "datafiles/crc32.h"
#include "datafiles/data_file.h"
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace tincrates {
namespace {

using testing::Bytes;
using testing::ScratchDir;
using testing::TestArchive;
using testing::TestMember;
using testing::storedMember;

struct Lookup {
    int found;
    std::string content;
    bool dataIsNull;
    uint32_t size;
};

// The production's lookup, on an archive written to a scratch folder.
Lookup lookUp(const Bytes& archiveBytes, const char* name, const char* password = nullptr)
{
    ScratchDir dir;
    testing::writeFile("test.rar", archiveBytes);
    uint8_t* data = reinterpret_cast<uint8_t*>(1);
    uint32_t size = 99;
    Lookup result;
    result.found = getArchiveMember(&data, &size, name, "test.rar", password);
    result.dataIsNull = data == nullptr;
    result.size = size;
    if (data)
        result.content.assign(reinterpret_cast<char*>(data), size);
    std::free(data);
    return result;
}

ArchiveError reasonFor(const Bytes& archiveBytes, const char* name, const char* password = nullptr)
{
    ScratchDir dir;
    testing::writeFile("test.rar", archiveBytes);
    std::vector<uint8_t> content;
    return extractArchiveMember("test.rar", name, password, content);
}

void expectFailure(const Lookup& lookup)
{
    EXPECT_EQ(lookup.found, 0);
    EXPECT_TRUE(lookup.dataIsNull);
    EXPECT_EQ(lookup.size, 0u);
}

TEST(ArchiveReader, FindsAMemberByNormalisedName)
{
    TestArchive archive;
    archive.add(storedMember("DATA\\WHITE.PNG", "white pixels"));
    auto found = lookUp(archive.bytes, "data/white.png");
    EXPECT_EQ(found.found, 1);
    EXPECT_EQ(found.content, "white pixels");
    EXPECT_EQ(found.size, 12u);
}

TEST(ArchiveReader, TakesTheFirstOfTwoMembersWithTheSameName)
{
    TestArchive archive;
    archive.add(storedMember("other", "no"))
        .add(storedMember("twice.txt", "first"))
        .add(storedMember("TWICE.TXT", "second"));
    EXPECT_EQ(lookUp(archive.bytes, "twice.txt").content, "first");
}

TEST(ArchiveReader, SearchesPastCommentsAndOtherBlocks)
{
    // A main header with an archive comment inside, a comment block, a recovery record with
    // data, an end-of-archive block, and a member whose header holds a file comment.
    TestArchive archive(0x0002, Bytes(20, 0xCC));
    archive.addBlock(rar::COMM_HEAD, 0, Bytes(9, 0x11))
        .addBlock(rar::PROTECT_HEAD, 0x4000, Bytes(15, 0x22), Bytes(100, 0x33));
    TestMember member = storedMember("notes.txt", "the member's own bytes");
    member.flags = rar::LHD_COMMENT;
    member.headerExtra = testing::bytesOf("a file comment, not data");
    archive.add(member);
    archive.addBlock(rar::ENDARC_HEAD, 0x4000);
    EXPECT_EQ(lookUp(archive.bytes, "notes.txt").content, "the member's own bytes");
    EXPECT_EQ(reasonFor(archive.bytes, "absent"), ArchiveError::noSuchMember);
}

TEST(ArchiveReader, AcceptsTheAlternativeMarker)
{
    TestArchive archive;
    archive.add(storedMember("a", "b"));
    std::copy(rar::alternativeMarkerBlock.begin(), rar::alternativeMarkerBlock.end(),
              archive.bytes.begin());
    EXPECT_EQ(lookUp(archive.bytes, "a").content, "b");
}

TEST(ArchiveReader, EmptyMemberIsAnEmptyBlockAndSuccess)
{
    TestArchive archive;
    archive.add(storedMember("empty", ""));
    auto found = lookUp(archive.bytes, "empty");
    EXPECT_EQ(found.found, 1);
    EXPECT_FALSE(found.dataIsNull);
    EXPECT_EQ(found.size, 0u);
}

TEST(ArchiveReader, FailuresLeaveNullDataAndSizeZero)
{
    TestArchive archive;
    archive.add(storedMember("present", "x"));
    expectFailure(lookUp(archive.bytes, "absent"));
    expectFailure(lookUp(testing::bytesOf("just some text, not an archive at all"), "present"));
    expectFailure(lookUp(Bytes(archive.bytes.begin(), archive.bytes.begin() + 5), "present"));
    expectFailure(lookUp(Bytes(archive.bytes.begin(), archive.bytes.begin() + 15), "present"));
    expectFailure(lookUp({}, "present"));

    ScratchDir dir;
    uint8_t* data = nullptr;
    uint32_t size = 7;
    EXPECT_EQ(getArchiveMember(&data, &size, "present", "no such archive", nullptr), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(ArchiveReader, ReportsWhyALookupFailed)
{
    TestArchive archive;
    archive.add(storedMember("present", "x"));
    EXPECT_EQ(reasonFor(archive.bytes, "absent"), ArchiveError::noSuchMember);
    EXPECT_EQ(reasonFor(testing::bytesOf("plain text file"), "present"),
              ArchiveError::notAnArchive);

    TestMember crcWrong = storedMember("bad", "content");
    crcWrong.fileCrc ^= 1;
    TestArchive damaged;
    damaged.add(crcWrong);
    EXPECT_EQ(reasonFor(damaged.bytes, "bad"), ArchiveError::badCrc);

    ScratchDir dir;
    std::vector<uint8_t> content;
    EXPECT_EQ(extractArchiveMember("missing.rar", "x", nullptr, content), ArchiveError::cannotOpen);
}

TEST(ArchiveReader, RefusesUnpackVersionsOutside13To20)
{
    for (uint8_t version : {12, 21, 29}) {
        TestMember member = storedMember("m", "stored either way");
        member.unpackVersion = version;
        TestArchive archive;
        archive.add(member);
        EXPECT_EQ(reasonFor(archive.bytes, "m"), ArchiveError::unsupportedVersion) << int(version);
    }
    for (uint8_t version : {13, 15, 20}) {
        TestMember member = storedMember("m", "stored either way");
        member.unpackVersion = version;
        TestArchive archive;
        archive.add(member);
        EXPECT_EQ(reasonFor(archive.bytes, "m"), ArchiveError::ok) << int(version);
    }
}

TEST(ArchiveReader, StopsAtASubBlockBeforeTheMember)
{
    TestArchive archive;
    archive.add(storedMember("before", "1"))
        .addBlock(rar::SUB_HEAD, 0, {0x01, 0x01, 0}, Bytes(8, 'o'))
        .add(storedMember("after", "2"));
    EXPECT_EQ(lookUp(archive.bytes, "before").content, "1");
    EXPECT_EQ(reasonFor(archive.bytes, "after"), ArchiveError::subBlock);

    ScratchDir dir;
    testing::writeFile("test.rar", archive.bytes);
    std::vector<ArchiveEntry> entries;
    EXPECT_EQ(listArchiveMembers("test.rar", entries), ArchiveError::ok);
    EXPECT_EQ(entries.size(), 2u) << "a listing steps over the sub-block";
}

TEST(ArchiveReader, StoredEncryptedMemberIsDecryptedWholeAndCutToSize)
{
    // 87 bytes are stored as 96: the cipher works on whole blocks, the last one padded.
    std::string text(87, '\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    for (size_t length : {size_t(87), size_t(96), size_t(1), size_t(0)}) {
        TestMember member = storedMember("secret", std::string_view(text).substr(0, length));
        member.password = "Kd7M";
        TestArchive archive;
        archive.add(member);
        auto found = lookUp(archive.bytes, "secret", "Kd7M");
        EXPECT_EQ(found.found, 1) << length;
        EXPECT_EQ(found.content, text.substr(0, length));
        if (length > 0) // nothing to decrypt, so nothing to get wrong
            expectFailure(lookUp(archive.bytes, "secret", "wrong"));
    }
}

TEST(ArchiveReader, StoredMemberCutShortFails)
{
    TestMember member = storedMember("cut", "0123456789");
    member.packed.resize(4);
    TestArchive archive;
    archive.add(member);
    EXPECT_EQ(reasonFor(archive.bytes, "cut"), ArchiveError::damagedData);
}

TEST(ArchiveReader, HugeClaimedSizeFailsWithoutReservingIt)
{
    TestMember member = storedMember("liar", "tiny");
    member.unpackedSize = 0xFFFFFFF0u;
    TestArchive archive;
    archive.add(member);
    EXPECT_EQ(reasonFor(archive.bytes, "liar"), ArchiveError::damagedData);
    member.method = 0x33;
    TestArchive compressed;
    compressed.add(member);
    EXPECT_EQ(reasonFor(compressed.bytes, "liar"), ArchiveError::damagedData);
}

TEST(ArchiveReader, MalformedHeadersAreDamageNotCrashes)
{
    TestArchive archive;
    archive.add(storedMember("m", "x"));
    const size_t fileHeader = 7 + rar::mainHeaderSize;

    Bytes tooShort = archive.bytes;
    tooShort[fileHeader + 5] = 6; // header size below 7
    tooShort[fileHeader + 6] = 0;
    EXPECT_EQ(reasonFor(tooShort, "m"), ArchiveError::damagedHeader);

    Bytes nameTooLong = archive.bytes;
    nameTooLong[fileHeader + 26] = 200; // name size past the header's end
    EXPECT_EQ(reasonFor(nameTooLong, "m"), ArchiveError::damagedHeader);

    Bytes mainTooShort = archive.bytes;
    mainTooShort[7 + 5] = 12;
    EXPECT_EQ(reasonFor(mainTooShort, "m"), ArchiveError::damagedHeader);
}

TEST(ArchiveReader, UnicodeNamesAreDecodedBesideThePlainOnes)
{
    // Plain "A?xyz", then the Unicode form: high byte 0x04; modes 0, 2 and 3 (a run of three
    // from the plain name shifted into the high byte's page).
    using namespace std::string_literals;
    std::string stored = "A?xyz\0"s + "\x04\x2c" "A" "\xac\x20" "\x81\xb8";
    TestArchive archive;
    auto member = storedMember(stored, "u");
    member.flags = rar::LHD_UNICODE;
    archive.add(member);
    // Cut short, the Unicode form just ends early.
    auto cut = storedMember(stored.substr(0, 9), "c");
    cut.flags = rar::LHD_UNICODE;
    archive.add(cut);

    ScratchDir dir;
    archive.writeTo("test.rar");
    std::vector<ArchiveEntry> entries;
    ASSERT_EQ(listArchiveMembers("test.rar", entries), ArchiveError::ok);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "A?xyz");
    EXPECT_EQ(entries[0].unicodeName, "A\u20AC\u0430\u0431\u0432");
    EXPECT_EQ(entries[1].name, "A?xyz");
    EXPECT_EQ(entries[1].unicodeName, "A");
}

TEST(ArchiveReader, LongNamesAreComparedWhole)
{
    std::string stored(300, 'n');
    TestArchive archive;
    archive.add(storedMember(stored, "long"));
    EXPECT_EQ(lookUp(archive.bytes, stored.c_str()).content, "long");
    // Equal in the first 259 characters is not equal.
    expectFailure(lookUp(archive.bytes, std::string(259, 'n').c_str()));
    expectFailure(lookUp(archive.bytes, (stored + "x").c_str()));
    expectFailure(lookUp(archive.bytes, std::string(5000, 'n').c_str()));
}

TEST(ArchiveReader, DataFileComesFromTheArchiveBeforeTheDataFolder)
{
    ScratchDir dir;
    TestArchive archive;
    TestMember locked = storedMember("scene.xml", "<from archive/>");
    locked.password = dataArchivePassword;
    archive.add(locked);
    archive.add(storedMember("wrong.png", "never seen"));
    archive.writeTo(dataArchiveName);
    dir.write("data/scene.xml", "<from folder/>");
    dir.write("data/other.png", "folder only");

    DataFile* file = openDataFile("scene.xml");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), file->size), "<from archive/>");
    closeDataFile(file);
    file = openDataFile("other.png");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), file->size), "folder only");
    closeDataFile(file);
}

// A maker's run puts the loose files first; the archive still stands in for what data/ lacks,
// the order before comes back afterwards, and an observer hears where each name came from.
TEST(ArchiveReader, DataFolderFirstWhileAScopeLivesAndWhereEachNameCameFrom)
{
    ScratchDir dir;
    TestArchive archive;
    TestMember locked = storedMember("scene.xml", "<from archive/>");
    locked.password = dataArchivePassword;
    archive.add(locked);
    TestMember onlyPacked = storedMember("packed.png", "archive only");
    onlyPacked.password = dataArchivePassword;
    archive.add(onlyPacked);
    archive.writeTo(dataArchiveName);
    dir.write("data/scene.xml", "<from folder/>");

    auto content = [](const char* name) {
        DataFile* file = openDataFile(name);
        std::string text = file ? std::string(reinterpret_cast<char*>(file->data), file->size)
                                : "(none)";
        closeDataFile(file);
        return text;
    };
    std::vector<std::pair<std::string, DataFileOrigin>> heard;
    setDataFileObserver([&heard](const std::string& name, DataFileOrigin origin) {
        heard.emplace_back(name, origin);
    });
    {
        DataLookupOrderScope makers(DataLookupOrder::folderFirst);
        EXPECT_EQ(content("scene.xml"), "<from folder/>");
        EXPECT_EQ(content("packed.png"), "archive only");
        EXPECT_EQ(content("absent.png"), "(none)");
    }
    EXPECT_EQ(content("scene.xml"), "<from archive/>");
    setDataFileObserver({});
    EXPECT_EQ(content("scene.xml"), "<from archive/>");
    using Heard = std::pair<std::string, DataFileOrigin>;
    EXPECT_EQ(heard, (std::vector<Heard>{{"scene.xml", DataFileOrigin::folder},
                         {"packed.png", DataFileOrigin::archive},
                         {"absent.png", DataFileOrigin::nowhere},
                         {"scene.xml", DataFileOrigin::archive}}));
}

} // namespace
} // namespace tincrates

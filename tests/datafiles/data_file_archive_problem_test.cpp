// A file that the archive cannot deliver because the archive is damaged or has another
// password is not reported as merely absent: the archive's own reason comes along.
#include "datafiles/data_file.h"

#include "datafiles/archive_reader.h"
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace tincrates {
namespace {

using testing::Bytes;

// The production's archive with one member, "crate.png", locked with `password`.
void writeArchive(const char* password)
{
    auto member = testing::storedMember("crate.png", "png bytes");
    member.password = password;
    testing::TestArchive archive;
    archive.add(member).add(testing::storedMember("other.txt", "other"));
    archive.writeTo(dataArchiveName);
}

// What openDataFile says of `name`; expects it not to be found.
std::string problemOf(const char* name)
{
    std::string problem = "unchanged";
    DataFile* file = openDataFile(name, &problem);
    EXPECT_EQ(file, nullptr) << name;
    closeDataFile(file);
    return problem;
}

TEST(DataFileArchiveProblem, AWrongPasswordIsSaidAsTheArchivesReason)
{
    testing::ScratchDir scratch;
    writeArchive("not the production's");
    EXPECT_EQ(problemOf("crate.png"),
              "stashpack: CRC-32 differs: wrong password or damaged member");
}

TEST(DataFileArchiveProblem, ADamagedMemberIsSaidAsTheArchivesReason)
{
    testing::ScratchDir scratch;
    writeArchive(dataArchivePassword);
    Bytes bytes = testing::readFile(dataArchiveName);
    std::vector<ArchiveEntry> entries;
    ASSERT_EQ(listArchiveMembers(dataArchiveName, entries), ArchiveError::ok);
    // Flip a bit in the member's packed data, just after its header.
    bytes[entries[0].headerPosition + entries[0].headSize] ^= 0x10;
    testing::writeFile(dataArchiveName, bytes);
    EXPECT_EQ(problemOf("crate.png"),
              "stashpack: CRC-32 differs: wrong password or damaged member");
}

TEST(DataFileArchiveProblem, ADamagedHeaderIsSaidWithItsOffset)
{
    testing::ScratchDir scratch;
    writeArchive(dataArchivePassword);
    Bytes bytes = testing::readFile(dataArchiveName);
    // The first member's header ends 1 byte in: a header size below the common 7 bytes.
    bytes[20 + 5] = 1;
    bytes[20 + 6] = 0;
    testing::writeFile(dataArchiveName, bytes);
    EXPECT_EQ(problemOf("crate.png"), "stashpack: damaged archive: a block header is malformed "
                                      "or cut short (block at offset 20)");
    // The same for a name the walk would have looked for past the damage.
    EXPECT_EQ(problemOf("absent.png"), "stashpack: damaged archive: a block header is "
                                       "malformed or cut short (block at offset 20)");
}

TEST(DataFileArchiveProblem, AFileThatIsNoArchiveIsSaid)
{
    testing::ScratchDir scratch;
    testing::writeFile(dataArchiveName, testing::bytesOf("just text"));
    EXPECT_EQ(problemOf("crate.png"), "stashpack: not an archive");
}

TEST(DataFileArchiveProblem, PlainAbsenceHasNoReason)
{
    testing::ScratchDir scratch;
    EXPECT_EQ(problemOf("crate.png"), "") << "no archive";
    writeArchive(dataArchivePassword);
    EXPECT_EQ(problemOf("absent.png"), "") << "an archive without the name";
}

TEST(DataFileArchiveProblem, TheDataFolderStillStandsInForADamagedArchive)
{
    testing::ScratchDir scratch;
    writeArchive("not the production's");
    scratch.write("data/crate.png", "from the folder");
    std::string problem = "unchanged";
    DataFile* file = openDataFile("crate.png", &problem);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), file->size), "from the folder");
    EXPECT_EQ(problem, "");
    closeDataFile(file);
}

TEST(DataFileArchiveProblem, TheLoadersWordsComeFirstAndTheReasonOnALineOfItsOwn)
{
    EXPECT_EQ(notFoundMessage("File not found", ""), "File not found");
    EXPECT_EQ(notFoundMessage("file not found", "stashpack: not an archive"),
              "file not found\nstashpack: not an archive");
}

} // namespace
} // namespace tincrates

// `stash extract` of a whole archive into a folder, and the safety of every way extract writes:
// never outside the folder, never over the archive being read, never half a file.
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"
#include "tools/stash/extraction_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

fs::path stashProgram() { return fs::read_symlink("/proc/self/exe").parent_path() / "stash"; }

std::string textOf(const fs::path& path)
{
    Bytes bytes = testing::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A member whose plain name is harmless and whose Unicode name, the one shown and written, is
// `unicodeName` (plain ASCII, coded a byte at a time).
testing::TestMember unicodeMember(const std::string& plainName, const std::string& unicodeName,
                                  std::string_view content)
{
    auto member = testing::storedMember(plainName, content);
    member.name += '\0';
    member.name += '\0'; // the high byte shared by the characters
    for (size_t i = 0; i < unicodeName.size(); ++i) {
        if (i % 4 == 0)
            member.name += '\0'; // four characters of one byte each
        member.name += unicodeName[i];
    }
    member.flags = rar::LHD_UNICODE;
    return member;
}

class StashExtract : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(stashProgram()))
            GTEST_SKIP() << "stash is not built beside the tests";
    }

    // Runs stash with `arguments`; its output lands in out and err.
    int stash(const std::string& arguments)
    {
        int status = std::system(
            (stashProgram().string() + " " + arguments + " >out 2>err").c_str());
        out = textOf("out");
        err = textOf("err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testing::ScratchDir scratch;
    std::string out;
    std::string err;
};

TEST_F(StashExtract, WithoutANameExtractsEveryMemberIntoTheFolder)
{
    testing::TestArchive archive;
    auto locked = testing::storedMember("Locked.txt", "behind a password");
    locked.password = "Kd7M";
    archive.add(testing::storedMember("Data\\Hello.txt", "hello, crates\n"))
        .add(testing::storedMember("data/deeper/two.bin", "2"))
        .add(locked)
        .add(testing::storedMember("empty", ""));
    archive.writeTo("pack.rar");

    ASSERT_EQ(stash("extract pack.rar -p Kd7M -o into/here"), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(textOf("into/here/Data/Hello.txt"), "hello, crates\n");
    EXPECT_EQ(textOf("into/here/data/deeper/two.bin"), "2");
    EXPECT_EQ(textOf("into/here/Locked.txt"), "behind a password");
    EXPECT_TRUE(fs::is_regular_file("into/here/empty"));

    // Into the current folder by default, replacing what is there.
    fs::create_directory("sub");
    fs::current_path("sub");
    testing::writeFile("empty", testing::bytesOf("old"));
    ASSERT_EQ(stash("extract ../pack.rar -p Kd7M"), 0) << err;
    EXPECT_EQ(textOf("Locked.txt"), "behind a password");
    EXPECT_EQ(textOf("empty"), "");
    fs::current_path("..");
}

TEST_F(StashExtract, RefusesNamesThatLeadOutsideTheFolderOneByOne)
{
    testing::TestArchive archive;
    archive.add(testing::storedMember("..\\..\\escaped.txt", "out"))
        .add(testing::storedMember("/tmp/absolute.txt", "out"))
        .add(testing::storedMember("\\rooted.txt", "out"))
        .add(testing::storedMember("C:\\drive.txt", "out"))
        .add(testing::storedMember("d:relative.txt", "out"))
        .add(testing::storedMember("inner/../../up.txt", "out"))
        .add(unicodeMember("harmless.txt", "../unicode.txt", "out"))
        .add(testing::storedMember("fine/./ok.txt", "in"));
    archive.writeTo("hostile.rar");

    EXPECT_EQ(stash("extract hostile.rar -o inside/folder"), 1);
    EXPECT_EQ(err,
              "stash: hostile.rar: ..\\..\\escaped.txt: refused: a \"..\" part would lead "
              "outside the folder\n"
              "stash: hostile.rar: /tmp/absolute.txt: refused: an absolute name would be "
              "written outside the folder\n"
              "stash: hostile.rar: \\rooted.txt: refused: an absolute name would be written "
              "outside the folder\n"
              "stash: hostile.rar: C:\\drive.txt: refused: a name with a drive letter would be "
              "written outside the folder\n"
              "stash: hostile.rar: d:relative.txt: refused: a name with a drive letter would "
              "be written outside the folder\n"
              "stash: hostile.rar: inner/../../up.txt: refused: a \"..\" part would lead "
              "outside the folder\n"
              "stash: hostile.rar: ../unicode.txt: refused: a \"..\" part would lead outside "
              "the folder\n"
              "stash: hostile.rar: 7 of 8 members not extracted\n");
    EXPECT_EQ(textOf("inside/folder/fine/ok.txt"), "in");
    // Nothing but the one good member was written anywhere.
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 4u) << "hostile.rar, out, err and fine/ok.txt";
}

TEST_F(StashExtract, NeverFollowsASymbolicLinkOutOfTheFolder)
{
    fs::create_directories("elsewhere");
    fs::create_directories("into");
    fs::create_directory_symlink("../elsewhere", "into/link");
    testing::TestArchive archive;
    archive.add(testing::storedMember("link\\planted.txt", "out"))
        .add(testing::storedMember("plain.txt", "in"));
    archive.writeTo("pack.rar");

    EXPECT_EQ(stash("extract pack.rar -o into"), 1);
    EXPECT_EQ(err, "stash: pack.rar: link\\planted.txt: refused: folder link is a symbolic "
                   "link\n"
                   "stash: pack.rar: 1 of 2 members not extracted\n");
    EXPECT_FALSE(fs::exists("elsewhere/planted.txt"));
    EXPECT_EQ(textOf("into/plain.txt"), "in");

    // A link in the file's own place is replaced, not written through.
    fs::remove("into/plain.txt");
    fs::create_symlink("../elsewhere/target.txt", "into/plain.txt");
    testing::writeFile("elsewhere/target.txt", testing::bytesOf("kept"));
    stash("extract pack.rar -o into");
    EXPECT_EQ(textOf("elsewhere/target.txt"), "kept");
    EXPECT_FALSE(fs::is_symlink("into/plain.txt"));
    EXPECT_EQ(textOf("into/plain.txt"), "in");
}

TEST_F(StashExtract, NeverWritesOverTheArchiveBeingRead)
{
    testing::TestArchive archive;
    archive.add(testing::storedMember("pack.rar", "a member named like its archive"))
        .add(testing::storedMember("other.txt", "other"));
    archive.writeTo("pack.rar");
    Bytes before = testing::readFile("pack.rar");

    EXPECT_EQ(stash("extract pack.rar other.txt -o pack.rar"), 1);
    EXPECT_EQ(err, "stash: cannot write pack.rar: it is the archive being read\n");
    EXPECT_EQ(stash("extract pack.rar other.txt -o ./sub/../pack.rar"), 1);

    EXPECT_EQ(stash("extract pack.rar"), 1);
    EXPECT_EQ(err, "stash: pack.rar: pack.rar: refused: it would replace the archive being "
                   "read\n"
                   "stash: pack.rar: 1 of 2 members not extracted\n");
    EXPECT_EQ(textOf("other.txt"), "other");
    EXPECT_TRUE(testing::readFile("pack.rar") == before);
}

TEST_F(StashExtract, AFailedExtractionLeavesAnOldFileAsItWas)
{
    testing::TestArchive archive;
    auto locked = testing::storedMember("Locked.txt", "behind a password");
    locked.password = "Kd7M";
    archive.add(locked);
    archive.writeTo("pack.rar");
    testing::writeFile("kept.txt", testing::bytesOf("old content"));

    EXPECT_EQ(stash("extract pack.rar Locked.txt -p wrong -o kept.txt"), 1);
    EXPECT_EQ(textOf("kept.txt"), "old content");
    EXPECT_EQ(stash("extract pack.rar -p wrong"), 1);
    EXPECT_FALSE(fs::exists("Locked.txt"));
    // No temporary file is left behind either.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.path))
        ++entries;
    EXPECT_EQ(entries, 4u) << "pack.rar, kept.txt, out and err";
}

TEST_F(StashExtract, AnEncryptedMemberWithoutAPasswordSaysItNeedsOne)
{
    testing::TestArchive archive;
    auto locked = testing::storedMember("Locked.txt", "behind a password");
    locked.password = "Kd7M";
    archive.add(locked);
    archive.writeTo("pack.rar");

    EXPECT_EQ(stash("extract pack.rar Locked.txt"), 1);
    EXPECT_EQ(err, "stash: pack.rar: Locked.txt: encrypted: needs the password (-p PASSWORD)\n");
    EXPECT_EQ(stash("extract pack.rar -o folder"), 1);
    EXPECT_EQ(err, "stash: pack.rar: Locked.txt: encrypted: needs the password (-p PASSWORD)\n"
                   "stash: pack.rar: 1 of 1 members not extracted\n");
    EXPECT_EQ(stash("extract pack.rar Locked.txt -p wrong"), 1);
    EXPECT_EQ(err, "stash: pack.rar: Locked.txt: CRC-32 differs: wrong password or damaged "
                   "member\n");
}

TEST_F(StashExtract, AnArchiveThatCannotBeWalkedIsOneLine)
{
    testing::writeFile("text.txt", testing::bytesOf("not an archive\n"));
    EXPECT_EQ(stash("extract text.txt -o folder"), 1);
    EXPECT_EQ(err, "stash: text.txt: not an archive\n");

    testing::TestArchive archive;
    archive.add(testing::storedMember("a.txt", "a")).add(testing::storedMember("b.txt", "b"));
    archive.writeTo("cut.rar");
    Bytes bytes = testing::readFile("cut.rar");
    bytes.resize(bytes.size() - 3);
    testing::writeFile("cut.rar", bytes);
    EXPECT_EQ(stash("extract cut.rar -o folder"), 1);
    EXPECT_NE(err.find("stash: cut.rar: "), std::string::npos) << err;
    EXPECT_EQ(textOf("folder/a.txt"), "a");
}

TEST(SafeMemberPath, SplitsAtEitherSeparatorAndDropsEmptyAndDotParts)
{
    std::string refusal;
    EXPECT_EQ(stash::safeMemberPath("a\\b/c.txt", refusal),
              (std::vector<std::string>{"a", "b", "c.txt"}));
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(stash::safeMemberPath("./a//b\\.\\c", refusal),
              (std::vector<std::string>{"a", "b", "c"}));
    // Dots inside a name are not a way up.
    EXPECT_EQ(stash::safeMemberPath("..a/b..", refusal),
              (std::vector<std::string>{"..a", "b.."}));
    EXPECT_EQ(refusal, "");
}

TEST(SafeMemberPath, RefusesEveryWayOut)
{
    for (const char* name : {"..", "../a", "a/../../b", "a\\..", "/etc/passwd", "\\\\server\\x",
                             "C:", "z:\\x", "", ".", "a/./"}) {
        std::string refusal;
        std::vector<std::string> parts = stash::safeMemberPath(name, refusal);
        if (std::string(name) == "a/./") {
            EXPECT_EQ(parts, std::vector<std::string>{"a"});
            continue;
        }
        EXPECT_TRUE(parts.empty()) << name;
        EXPECT_NE(refusal, "") << name;
    }
    std::string refusal;
    EXPECT_TRUE(stash::safeMemberPath(std::string("..\0x", 4), refusal).empty());
    EXPECT_EQ(refusal, "refused: a name with a zero byte");
}

} // namespace
} // namespace tincrates

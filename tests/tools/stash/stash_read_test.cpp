// `stash list`, `stash extract` and `stash test` from the command line: output, exit codes
// and the one-line errors.
#include "datafiles/archive_writer.h"
#include "support/rar_test_archive.h"
#include "support/writer_test_support.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

const fs::path fixtures = fs::path(TINCRATES_FIXTURES_DIR) / "rar";

fs::path stashProgram() { return fs::read_symlink("/proc/self/exe").parent_path() / "stash"; }

std::string textOf(const fs::path& path)
{
    Bytes bytes = testing::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class StashRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(stashProgram()))
            GTEST_SKIP() << "stash is not built beside the tests";
        TestArchiveFiles();
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

    void TestArchiveFiles()
    {
        testing::TestArchive archive;
        auto locked = testing::storedMember("Locked.txt", "behind a password");
        locked.password = "Kd7M";
        auto future = testing::storedMember("future.bin", "made by a later program");
        future.unpackVersion = 29;
        archive.add(testing::storedMember("Data\\Hello.txt", "hello, crates\n"))
            .add(locked)
            .add(future);
        archive.writeTo("pack.rar");
        testing::writeFile("text.txt", testing::bytesOf("not an archive\n"));
    }

    testing::ScratchDir scratch;
    std::string out;
    std::string err;
};

TEST_F(StashRead, ListShowsOneLinePerFileHeader)
{
    ASSERT_EQ(stash("list pack.rar"), 0) << err;
    EXPECT_EQ(out,
              "Data\\Hello.txt          14          14  2.0  stored  -                "
              "a14ab19b\n"
              "Locked.txt              17          32  2.0  stored  encrypted        "
              "37fbe5f7\n"
              "future.bin              23          23  2.9  stored  -                "
              "58902e66\n");
    EXPECT_EQ(err, "");
}

TEST_F(StashRead, ListNamesTheOffsetOfADamagedHeader)
{
    testing::TestArchive archive;
    archive.add(testing::storedMember("a\x1b[2J", "1"));
    // A block whose header claims 3 bytes, after the member's 20 + 37 + 1 bytes.
    archive.bytes.insert(archive.bytes.end(), {0, 0, 0x7a, 0, 0, 3, 0});
    archive.writeTo("bad.rar");
    EXPECT_EQ(stash("list bad.rar"), 1);
    EXPECT_EQ(out.rfind("a?[2J ", 0), 0u) << "control characters are not shown: " << out;
    EXPECT_EQ(err, "stash: bad.rar: damaged archive: a block header is malformed or cut short "
                   "(block at offset 58)\n");
}

TEST_F(StashRead, ListShowsMethodsAndFlagsOfRealArchives)
{
    if (!fs::exists(fixtures))
        GTEST_SKIP() << "fixtures not found";
    ASSERT_EQ(stash("list " + (fixtures / "v20_zxtune_solid.rar").string()), 0);
    EXPECT_NE(out.find("p5_solid.bin       16384          50  2.0  m5      solid            "
                       "10751aba"),
              std::string::npos)
        << out;
    ASSERT_EQ(stash("list " + (fixtures / "v20_winrar28_m5.rar").string()), 0);
    EXPECT_NE(out.find("directory"), std::string::npos) << out;
    EXPECT_NE(out.find("\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.txt           15498"),
              std::string::npos)
        << "Unicode names are shown in their Unicode form:\n"
        << out;
}

TEST_F(StashRead, ExtractFindsAMemberByItsUnicodeName)
{
    if (!fs::exists(fixtures))
        GTEST_SKIP() << "fixtures not found";
    auto archive = (fixtures / "v20_winrar28_m5.rar").string();
    ASSERT_EQ(stash("extract " + archive + " \xD1\x82\xD0\xB5\xD1\x81\xD1\x82.TXT -o ru.txt"),
              0)
        << err;
    EXPECT_TRUE(testing::readFile("ru.txt")
                == testing::readFile(fixtures / "v20_winrar28_expected_test_ru.txt"));
}

TEST_F(StashRead, ExtractWritesTheMemberToStandardOutputOrAFile)
{
    ASSERT_EQ(stash("extract pack.rar data/hello.TXT"), 0) << err;
    EXPECT_EQ(out, "hello, crates\n");
    ASSERT_EQ(stash("extract pack.rar locked.txt -p Kd7M -o secret.txt"), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(textOf("secret.txt"), "behind a password");
}

TEST_F(StashRead, ExtractStreamsAMemberLargerThanTheWindowToAFileOrStandardOutput)
{
    Bytes content = writer_test::binaryBytes(3 << 20, 9);
    {
        ArchiveWriter writer("big.rar", {1, false, "Kd7M"});
        writer.addMember("big.bin", content, 0);
        writer.finish();
    }
    ASSERT_EQ(stash("extract big.rar big.bin -p Kd7M -o big.bin"), 0) << err;
    EXPECT_TRUE(testing::readFile("big.bin") == content);
    ASSERT_EQ(stash("extract big.rar big.bin -p Kd7M"), 0) << err;
    EXPECT_TRUE(Bytes(out.begin(), out.end()) == content);

    EXPECT_EQ(stash("extract big.rar big.bin -p Kd7M -o absent/big.bin"), 1);
    EXPECT_EQ(err.rfind("stash: cannot create absent/big.bin: ", 0), 0u) << err;
}

TEST_F(StashRead, ExtractFailsWithOneLineThatSaysWhy)
{
    EXPECT_EQ(stash("extract pack.rar absent.txt"), 1);
    EXPECT_EQ(err, "stash: pack.rar: absent.txt: no such member\n");
    EXPECT_EQ(out, "");

    EXPECT_EQ(stash("extract pack.rar Locked.txt -p wrong -o never.txt"), 1);
    EXPECT_EQ(err, "stash: pack.rar: Locked.txt: CRC-32 differs: wrong password or damaged "
                   "member\n");
    EXPECT_FALSE(fs::exists("never.txt")) << "nothing is written after a failure";

    EXPECT_EQ(stash("extract pack.rar future.bin"), 1);
    EXPECT_EQ(err, "stash: pack.rar: future.bin: unsupported unpack version (only 1.3 to 2.0 "
                   "can be read)\n");

    EXPECT_EQ(stash("extract text.txt anything"), 1);
    EXPECT_EQ(err, "stash: text.txt: anything: not an archive\n");

    EXPECT_EQ(stash("extract missing.rar anything"), 1);
    EXPECT_EQ(err, "stash: missing.rar: anything: cannot open the archive\n");
}

TEST_F(StashRead, TestReportsEveryMemberAndFailsIfAnyFails)
{
    EXPECT_EQ(stash("test pack.rar -p Kd7M"), 1);
    EXPECT_EQ(out, "OK      Data\\Hello.txt\n"
                   "OK      Locked.txt\n"
                   "FAILED  future.bin: unsupported unpack version (only 1.3 to 2.0 can be "
                   "read)\n");
    EXPECT_EQ(err, "stash: pack.rar: 1 of 3 members failed\n");

    testing::TestArchive good;
    good.add(testing::storedMember("a", "1")).add(testing::storedMember("b", "2"));
    good.writeTo("good.rar");
    EXPECT_EQ(stash("test good.rar"), 0) << err;
    EXPECT_EQ(out, "OK      a\nOK      b\n");

    EXPECT_EQ(stash("test text.txt"), 1);
    EXPECT_EQ(err, "stash: text.txt: not an archive\n");
}

TEST_F(StashRead, TestOfRealArchives)
{
    if (!fs::exists(fixtures))
        GTEST_SKIP() << "fixtures not found";
    EXPECT_EQ(stash("test " + (fixtures / "v20_zxtune_methods.rar").string()), 0) << out << err;
    EXPECT_EQ(stash("test " + (fixtures / "v20_psw_compressed.rar").string() + " -p password"),
              0)
        << out << err;
    EXPECT_EQ(stash("test " + (fixtures / "v15_comment.rar").string()), 1);
    EXPECT_EQ(out, "FAILED  FILE1.TXT: unsupported compression: written by RAR 1.5, only RAR "
                   "2.0 can be decoded\n"
                   "OK      FILE2.TXT\n");
}

TEST_F(StashRead, EveryCommandTakesThePasswordInTheSameForms)
{
    testing::TestArchive archive;
    auto locked = testing::storedMember("Locked.txt", "behind a password");
    locked.password = "Kd7M";
    archive.add(locked);
    archive.writeTo("locked.rar");
    for (std::string password : {"-p Kd7M", "-pKd7M"}) {
        SCOPED_TRACE(password);
        EXPECT_EQ(stash("extract locked.rar Locked.txt " + password), 0) << err;
        EXPECT_EQ(out, "behind a password");
        EXPECT_EQ(stash("test locked.rar " + password), 0) << err;
        EXPECT_EQ(out, "OK      Locked.txt\n");
        fs::remove_all("all");
        EXPECT_EQ(stash("extract locked.rar -o all " + password), 0) << err;
        EXPECT_EQ(textOf("all/Locked.txt"), "behind a password");
        fs::remove("again.rar");
        EXPECT_EQ(stash("create again.rar -C all Locked.txt " + password), 0) << err;
        EXPECT_EQ(stash("extract again.rar Locked.txt -p Kd7M"), 0) << err;
        EXPECT_EQ(out, "behind a password");
    }
    // The joined form is the password, not an option to pass by.
    EXPECT_EQ(stash("extract locked.rar Locked.txt -pKd7m"), 1);
    EXPECT_EQ(err, "stash: locked.rar: Locked.txt: CRC-32 differs: wrong password or damaged "
                   "member\n");

    // An empty password, most likely an unset variable, is refused alike.
    EXPECT_EQ(stash("extract locked.rar Locked.txt -p ''"), 1);
    EXPECT_EQ(err, "stash extract: empty password (see stash extract --help)\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(stash("test locked.rar -p ''"), 1);
    EXPECT_EQ(err, "stash test: empty password (see stash test --help)\n");
    EXPECT_EQ(stash("create empty.rar text.txt -p ''"), 1);
    EXPECT_EQ(err, "stash create: empty password (see stash create --help)\n");
    EXPECT_FALSE(fs::exists("empty.rar"));
    EXPECT_EQ(stash("list locked.rar -pKd7M"), 1);
    EXPECT_EQ(err, "stash list: unknown option -pKd7M (see stash list --help)\n");
}

TEST_F(StashRead, HelpAndBadArgumentsNeverCrash)
{
    for (const char* command : {"--help", "list --help", "extract --help", "test -h"}) {
        EXPECT_EQ(stash(command), 0) << command;
        EXPECT_EQ(out.rfind("Usage: stash", 0), 0u) << command;
    }
    EXPECT_EQ(stash("extract"), 1);
    EXPECT_EQ(err, "stash extract: expected an archive and, optionally, a member name (see "
                   "stash extract --help)\n");
    EXPECT_EQ(stash("extract pack.rar a -p"), 1);
    EXPECT_EQ(err, "stash extract: -p needs a value (see stash extract --help)\n");
    EXPECT_EQ(stash("list -x pack.rar"), 1);
    EXPECT_EQ(err, "stash list: unknown option -x (see stash list --help)\n");
    EXPECT_EQ(stash("frobnicate"), 1);
    EXPECT_EQ(err, "stash: unknown command frobnicate (see stash --help)\n");
    EXPECT_EQ(stash(""), 1);
}

} // namespace
} // namespace tincrates

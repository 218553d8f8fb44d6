// `stash create` from the command line: options, member names, errors, and the archives it
// writes checked with `stash test` and, where installed, unar.
#include "support/writer_test_support.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <string>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using writer_test::Bytes;

class StashCreate : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(writer_test::stashProgram()))
            GTEST_SKIP() << "stash not built beside the tests";
        writer_test::writeFile("in/readme.txt", writer_test::textBytes(30000, 1));
        writer_test::writeFile("in/sub/code.bin", writer_test::binaryBytes(20000, 2));
        writer_test::writeFile("in/sub/deeper/sound.raw", writer_test::pcmBytes(40000, 3));
        writer_test::writeFile("in/empty", {});
    }

    // Runs stash with `arguments`; stderr goes to "stderr.txt".
    int stash(const std::string& arguments)
    {
        return writer_test::run(writer_test::stashProgram().string() + " " + arguments
                            + " >stdout.txt 2>stderr.txt");
    }

    std::string errorText()
    {
        Bytes text = writer_test::readFile("stderr.txt");
        return std::string(text.begin(), text.end());
    }

    testing::ScratchDir scratch;
};

TEST_F(StashCreate, PacksFoldersWithBackslashNamesRelativeToTheBase)
{
    ASSERT_EQ(stash("create pack.rar -C in readme.txt sub"), 0) << errorText();
    EXPECT_EQ(writer_test::readMember("pack.rar", "sub\\deeper\\sound.raw", nullptr),
              writer_test::readFile("in/sub/deeper/sound.raw"));
    EXPECT_EQ(writer_test::readMember("pack.rar", "readme.txt", nullptr),
              writer_test::readFile("in/readme.txt"));
    ASSERT_EQ(stash("list pack.rar"), 0);
    Bytes listing = writer_test::readFile("stdout.txt");
    EXPECT_NE(std::string(listing.begin(), listing.end()).find("sub\\code.bin"),
              std::string::npos);
}

TEST_F(StashCreate, EveryOptionMixPassesStashTestAndUnar)
{
    bool hasUnar = writer_test::hasProgram("unar");
    for (std::string options : {"-m0", "-m1", "-m3", "-m5", "-s", "-s -m1", "-p pw",
                                "-s -p pw", "-m0 -p pw", "-s -m5 -p pw"}) {
        SCOPED_TRACE(options);
        fs::remove("pack.rar");
        ASSERT_EQ(stash("create pack.rar " + options + " -C in ."), 0) << errorText();
        bool hasPassword = options.find("-p") != std::string::npos;
        EXPECT_EQ(stash("test pack.rar" + std::string(hasPassword ? " -p pw" : "")), 0)
            << errorText();
        if (!hasUnar)
            continue;
        fs::remove_all("out");
        ASSERT_EQ(writer_test::run("unar -q -D -o out " + std::string(hasPassword ? "-p pw " : "")
                               + "pack.rar >/dev/null 2>&1"),
                  0);
        for (const char* file : {"readme.txt", "sub/code.bin", "sub/deeper/sound.raw", "empty"})
            EXPECT_EQ(writer_test::readFile(fs::path("out") / file),
                      writer_test::readFile(fs::path("in") / file))
                << file;
    }
}

TEST_F(StashCreate, LevelsOrderFromFastestToSmallest)
{
    ASSERT_EQ(stash("create m1.rar -m1 -C in ."), 0);
    ASSERT_EQ(stash("create m5.rar -m5 -C in ."), 0);
    ASSERT_EQ(stash("create m0.rar -m0 -C in ."), 0);
    EXPECT_LT(fs::file_size("m5.rar"), fs::file_size("m1.rar"));
    EXPECT_LT(fs::file_size("m1.rar"), fs::file_size("m0.rar") / 2);
}

TEST_F(StashCreate, MissingInputIsAOneLineErrorAndLeavesNoArchive)
{
    EXPECT_EQ(stash("create pack.rar in/readme.txt in/nothing"), 1);
    EXPECT_EQ(errorText(), "stash: cannot open in/nothing: No such file or directory\n");
    EXPECT_FALSE(fs::exists("pack.rar"));
}

TEST_F(StashCreate, UnwritableArchiveIsAOneLineError)
{
    EXPECT_EQ(stash("create no/such/dir/pack.rar -C in ."), 1);
    EXPECT_EQ(errorText(),
              "stash: cannot create no/such/dir/pack.rar: No such file or directory\n");
}

TEST_F(StashCreate, BadCommandLinesAreRefused)
{
    EXPECT_EQ(stash("create"), 1);
    EXPECT_EQ(errorText(), "stash create: expected an archive and the files to pack into it (see "
                           "stash create --help)\n");
    EXPECT_EQ(stash("create pack.rar -m9 in"), 1);
    EXPECT_EQ(errorText(),
              "stash create: -m: Value 9 not in range 0 to 5 (see stash create --help)\n");
    EXPECT_EQ(stash("create pack.rar in -p"), 1);
    EXPECT_EQ(errorText(), "stash create: -p needs a value (see stash create --help)\n");
    writer_test::writeFile("outside", {1});
    EXPECT_EQ(stash("create pack.rar -C in ../outside"), 1);
    EXPECT_EQ(errorText(), "stash: ../outside lies outside the base folder\n");
    EXPECT_EQ(stash("create --help"), 0);
}

TEST_F(StashCreate, PacksAFileNamedTwiceOnce)
{
    ASSERT_EQ(stash("create pack.rar -C in sub sub/code.bin readme.txt"), 0) << errorText();
    ASSERT_EQ(stash("list pack.rar"), 0);
    Bytes listing = writer_test::readFile("stdout.txt");
    std::string text(listing.begin(), listing.end());
    EXPECT_EQ(text.find("sub\\code.bin"), text.rfind("sub\\code.bin"));
    EXPECT_NE(text.find("readme.txt"), std::string::npos);
}

TEST_F(StashCreate, NeverPacksTheArchiveIntoItself)
{
    ASSERT_EQ(stash("create in/pack.rar -C in ."), 0);
    ASSERT_EQ(stash("create in/pack.rar -C in ."), 0) << errorText();
    bool found = true;
    writer_test::readMember("in/pack.rar", "pack.rar", nullptr, &found);
    EXPECT_FALSE(found);
}

TEST_F(StashCreate, AFailedCreateLeavesAnArchiveThatWasThereAsItWas)
{
    ASSERT_EQ(stash("create pack.rar -C in ."), 0) << errorText();
    Bytes before = writer_test::readFile("pack.rar");

    // Refused as the archive is begun.
    EXPECT_EQ(stash("create pack.rar -p " + std::string(128, 'x') + " -C in ."), 1);
    EXPECT_EQ(errorText(), "stash: password longer than 127 characters\n");
    EXPECT_TRUE(writer_test::readFile("pack.rar") == before);

    // A file that fails to read after other members went in: the kernel refuses a read of
    // the unmapped first page of a process's memory.
    EXPECT_EQ(stash("create pack.rar in/readme.txt /proc/self/mem"), 1);
    EXPECT_EQ(errorText(), "stash: cannot read /proc/self/mem: Input/output error\n");
    EXPECT_TRUE(writer_test::readFile("pack.rar") == before);

    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.path))
        ++entries;
    EXPECT_EQ(entries, 4u) << "in, pack.rar, stdout.txt and stderr.txt: no temporary file left";
}

TEST_F(StashCreate, ReplacesAnArchiveOnlyWhenTheNewOneIsWhole)
{
    ASSERT_EQ(stash("create pack.rar -C in readme.txt"), 0) << errorText();
    fs::permissions("pack.rar", fs::perms::owner_read | fs::perms::owner_write
                                    | fs::perms::group_read);
    ASSERT_EQ(stash("create pack.rar -C in sub"), 0) << errorText();
    bool found = true;
    writer_test::readMember("pack.rar", "readme.txt", nullptr, &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(writer_test::readMember("pack.rar", "sub\\code.bin", nullptr),
              writer_test::readFile("in/sub/code.bin"));
    EXPECT_EQ(fs::status("pack.rar").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(StashCreate, SkipsALinkToItselfWithAWarningAsItSkipsDanglingLinksAndFifos)
{
    fs::create_symlink("loop", "in/sub/loop");
    fs::create_symlink("nowhere", "in/sub/dangling");
    ASSERT_EQ(::mkfifo("in/sub/fifo", 0600), 0);
    ASSERT_EQ(stash("create pack.rar -C in ."), 0) << errorText();
    EXPECT_EQ(errorText(), "stash: skipping in/sub/loop: Too many levels of symbolic links\n");
    ASSERT_EQ(stash("list pack.rar"), 0);
    Bytes listing = writer_test::readFile("stdout.txt");
    std::string text(listing.begin(), listing.end());
    EXPECT_NE(text.find("sub\\code.bin"), std::string::npos) << text;
    EXPECT_EQ(text.find("loop"), std::string::npos) << text;
    EXPECT_EQ(text.find("dangling"), std::string::npos) << text;
    EXPECT_EQ(text.find("fifo"), std::string::npos) << text;
}

} // namespace
} // namespace tincrates

// Writing beside a target and moving in only when whole: an interrupted write leaves the old
// file as it was and no temporary behind, and a file another writer made takes the target's
// place with the target's permissions.
#include "datafiles/replacing_file.h"

#include "support/file_size_limit.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tincrates {
namespace {

namespace fs = std::filesystem;

size_t entriesIn(const fs::path& folder)
{
    return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t modeOf(const fs::path& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

TEST(ReplacingFile, TakesTheTargetsPlaceOnlyWhenCommitted)
{
    testing::ScratchDir scratch;
    scratch.write("out.bin", "old");
    {
        ReplacingFile file("out.bin");
        std::fputs("half", file.stream());
        EXPECT_EQ(scratch.read("out.bin"), "old");
    } // never committed
    EXPECT_EQ(scratch.read("out.bin"), "old");
    EXPECT_EQ(entriesIn(scratch.path), 1u);

    ReplacingFile file("out.bin");
    std::fputs("new", file.stream());
    file.commit();
    EXPECT_EQ(scratch.read("out.bin"), "new");
    EXPECT_EQ(entriesIn(scratch.path), 1u);
}

TEST(ReplacingFile, AWholeFileThatCannotBeWrittenLeavesTheTargetAsItWas)
{
    testing::ScratchDir scratch;
    scratch.write("out.bin", "old");
    std::string bytes(64 * 1024, 'x');
    try {
        testing::FileSizeLimit limit(4096);
        writeWholeFile("out.bin", bytes);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("cannot write out.bin: ", 0), 0u)
            << error.what();
    }
    EXPECT_EQ(scratch.read("out.bin"), "old");
    EXPECT_EQ(entriesIn(scratch.path), 1u);

    writeWholeFile("out.bin", bytes);
    EXPECT_EQ(scratch.read("out.bin"), bytes);
    EXPECT_EQ(entriesIn(scratch.path), 1u);
}

TEST(ReplacingFile, InAFolderALinkIsReplacedNotWrittenThrough)
{
    testing::ScratchDir scratch;
    scratch.write("outside/secret", "kept");
    scratch.write("inside/tool", "old tool");
    ::chmod("inside/tool", 04755);
    fs::create_symlink("../outside/secret", "inside/link");
    int folder = ::open("inside", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    {
        ReplacingFile file(folder, "link");
        std::fputs("member", file.stream());
        file.commit();
    }
    {
        ReplacingFile file(folder, "tool");
        std::fputs("new tool", file.stream());
        file.commit();
    }
    {
        ReplacingFile file(folder, "never");
        std::fputs("half", file.stream());
    } // never committed
    ::close(folder);
    EXPECT_EQ(scratch.read("outside/secret"), "kept");
    EXPECT_FALSE(fs::is_symlink("inside/link"));
    EXPECT_EQ(scratch.read("inside/link"), "member");
    EXPECT_EQ(scratch.read("inside/tool"), "new tool");
    EXPECT_EQ(modeOf("inside/tool"), 0755u); // no set-user-ID bit on new content
    EXPECT_EQ(entriesIn("inside"), 2u);
}

TEST(ReplacingFile, AWrittenFileKeepsTheTargetsPermissions)
{
    testing::ScratchDir scratch;
    scratch.write("video.mp4", "old");
    ::chmod("video.mp4", 0640);
    scratch.write(".video.mp4.part", "new");
    ::chmod(".video.mp4.part", 0600);
    replaceWithWritten(".video.mp4.part", "video.mp4");
    EXPECT_EQ(scratch.read("video.mp4"), "new");
    EXPECT_EQ(modeOf("video.mp4"), 0640u);
    EXPECT_EQ(entriesIn(scratch.path), 1u);
}

TEST(ReplacingFile, AWrittenFileThatCannotMoveInIsRemovedAndNamed)
{
    testing::ScratchDir scratch;
    scratch.write(".part", "new");
    try {
        replaceWithWritten(".part", "no/such/folder/video.mp4");
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("cannot write no/such/folder/video.mp4: ", 0),
                  0u)
            << error.what();
    }
    EXPECT_EQ(entriesIn(scratch.path), 0u);
}

} // namespace
} // namespace tincrates

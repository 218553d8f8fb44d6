#include "tools/cratesmith/data_folder.h"

#include "support/file_size_limit.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tincrates::cratesmith {
namespace {

TEST(DataFolder, StartsEmptyAndRefusesANameTwice)
{
    testing::ScratchDir scratch;
    auto folder = scratch.path / "data";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "stale.png") << "left from an earlier run";

    DataFolder data(folder);
    EXPECT_FALSE(std::filesystem::exists(folder / "stale.png"));
    data.writeBytes("a.material", "<m/>");
    EXPECT_THROW(data.writeBytes("a.material", "<m/>"), std::runtime_error);
    EXPECT_EQ(data.names(), std::vector<std::string>{"a.material"});
}

TEST(DataFolder, GivesEveryFileTheSameTime)
{
    testing::ScratchDir scratch;
    DataFolder data(scratch.path / "data");
    data.writeBytes("one", "1");
    data.writeBytes("two", "2");
    data.fixTimes();
    EXPECT_EQ(std::filesystem::last_write_time(scratch.path / "data" / "one"),
              std::filesystem::last_write_time(scratch.path / "data" / "two"));
}

TEST(DataFolder, AFileThatCannotBeWrittenWholeIsNotLeftUnderItsName)
{
    testing::ScratchDir scratch;
    DataFolder data(scratch.path / "data");
    std::string mesh(64 * 1024, 'm');
    try {
        testing::FileSizeLimit limit(4096);
        data.writeBytes("crate.mesh", mesh);
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot write " + (scratch.path / "data" / "crate.mesh").string());
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path / "data"));
}

} // namespace
} // namespace tincrates::cratesmith

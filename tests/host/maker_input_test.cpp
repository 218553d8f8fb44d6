// What the maker's mode reads between frames: lines of commands, and the data files on disk.
#include "host/command_input.h"
#include "host/data_watcher.h"

#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include <unistd.h>

namespace tincrates {
namespace {

using namespace std::chrono_literals;

TEST(CommandInput, GivesWholeLinesWithoutWaitingAndTheLastOneAtTheEnd)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    CommandInput input(ends[0]);
    EXPECT_FALSE(input.nextLine()); // nothing yet, and no waiting for it
    ASSERT_EQ(write(ends[1], "space\nbeat 9", 12), 12);
    EXPECT_EQ(input.nextLine().value_or("?"), "space");
    EXPECT_FALSE(input.nextLine()); // half a line
    EXPECT_FALSE(input.isAtEnd());
    ASSERT_EQ(write(ends[1], "6\n\nquit", 7), 7);
    close(ends[1]);
    EXPECT_EQ(input.nextLine().value_or("?"), "beat 96");
    EXPECT_EQ(input.nextLine().value_or("?"), "");
    EXPECT_EQ(input.nextLine().value_or("?"), "quit");
    EXPECT_FALSE(input.nextLine());
    EXPECT_TRUE(input.isAtEnd());
    close(ends[0]);
}

TEST(CommandInput, AnEndlessLineIsCutRatherThanHeldForEver)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    CommandInput input(ends[0]);
    std::string junk(5000, 'x');
    ASSERT_EQ(write(ends[1], junk.data(), junk.size()), ssize_t(junk.size()));
    std::string taken;
    while (std::optional<std::string> line = input.nextLine())
        taken += *line;
    EXPECT_GE(taken.size(), 4096u);
    close(ends[1]);
    while (std::optional<std::string> line = input.nextLine())
        taken += *line;
    EXPECT_EQ(taken, junk);
    close(ends[0]);
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DataWatcher, ReportsWhatChangedAppearedOrWentOnceTheFolderIsStill)
{
    testing::ScratchDir folder;
    folder.write("data/crate.material", "<material/>");
    folder.write("data/crate.png", "png");
    DataWatcher watcher;
    watcher.interval = 0ms;
    watcher.settle = 50ms;
    auto start = DataWatcher::Clock::now();
    EXPECT_TRUE(watcher.changes(start).empty()); // what was there at the start is seen

    std::this_thread::sleep_for(10ms); // a later time stamp
    folder.write("data/crate.material", "<material><diffuse r=\"1\"/></material>");
    folder.write("stashpack", "Rar!");
    std::filesystem::remove("data/crate.png");
    EXPECT_TRUE(watcher.changes(start + 1ms).empty());  // still being written
    EXPECT_TRUE(watcher.changes(start + 20ms).empty()); // not still for long enough
    EXPECT_EQ(sorted(watcher.changes(start + 60ms)),
        (std::vector<std::string>{"crate.material", "crate.png", "stashpack"}));
    EXPECT_TRUE(watcher.changes(start + 200ms).empty()); // reported once
}

TEST(DataWatcher, LooksAtTheDiskOnlyEveryInterval)
{
    testing::ScratchDir folder;
    folder.write("data/scene", "a");
    DataWatcher watcher;
    watcher.settle = 0ms;
    auto start = DataWatcher::Clock::now() + 1h;
    watcher.changes(start);
    std::this_thread::sleep_for(10ms);
    folder.write("data/scene", "bb");
    EXPECT_TRUE(watcher.changes(start + 10ms).empty()); // within the interval: not looked
    EXPECT_TRUE(watcher.changes(start + 250ms).empty()); // seen moving
    EXPECT_EQ(watcher.changes(start + 500ms), std::vector<std::string>{"scene"});
}

} // namespace
} // namespace tincrates

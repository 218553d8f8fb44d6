#include "datafiles/data_file.h"

#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace tincrates {
namespace {

using testing::ScratchDir;

struct DataFileCloser {
    void operator()(DataFile* file) const { closeDataFile(file); }
};
using DataFilePtr = std::unique_ptr<DataFile, DataFileCloser>;

DataFilePtr openWith(ScratchDir& dir, std::string_view content)
{
    dir.write("data/file.bin", content);
    return DataFilePtr(openDataFile("file.bin"));
}

std::string takeString(char* text)
{
    std::string copy = text ? text : "(null)";
    std::free(text);
    return copy;
}

TEST(DataFile, OpensAWholeFileFromTheDataFolder)
{
    ScratchDir dir;
    auto file = openWith(dir, "hello");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size, 5u);
    EXPECT_EQ(file->position, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data), file->size), "hello");
}

TEST(DataFile, MissingFileGivesNull)
{
    ScratchDir dir;
    EXPECT_EQ(openDataFile("absent.png"), nullptr);
    dir.write("data/present.png", "x");
    EXPECT_EQ(openDataFile("../present.png"), nullptr);
}

TEST(DataFile, FolderIsNotAFile)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.path / "data" / "folder");
    EXPECT_EQ(openDataFile("folder"), nullptr);
}

TEST(DataFile, NameTooLongForThePathIsNotFoundRatherThanCut)
{
    ScratchDir dir;
    // Cut to fit the 256-byte path buffer, this name would read the 250-character file.
    std::string fits(250, 'a');
    dir.write("data/" + fits, "short one");
    EXPECT_TRUE(DataFilePtr(openDataFile(fits.c_str())));
    std::string tooLong = fits + "b";
    EXPECT_EQ(openDataFile(tooLong.c_str()), nullptr);
}

TEST(DataFile, EmptyFileHasSizeZeroAndReadsNothing)
{
    ScratchDir dir;
    auto file = openWith(dir, "");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size, 0u);
    uint32_t item = 0;
    EXPECT_EQ(readDataFile(&item, 4, 1, file.get()), 0u);
    EXPECT_EQ(readDataFile(&item, 4, 0, file.get()), 0u);
    EXPECT_EQ(file->position, 0u);
    EXPECT_EQ(takeString(readDataString(file.get())), "");
    EXPECT_EQ(file->position, 0u);
}

TEST(DataFile, ReadStopsBeforeAnItemThatWouldPassTheEnd)
{
    ScratchDir dir;
    auto file = openWith(dir, "0123456789");
    char out[20] = {};
    EXPECT_EQ(readDataFile(out, 4, 5, file.get()), 2u);
    EXPECT_EQ(file->position, 8u);
    EXPECT_EQ(std::string(out, 8), "01234567");
    EXPECT_EQ(out[8], 0) << "the partial item must not be copied";
    EXPECT_EQ(readDataFile(out, 2, 1, file.get()), 1u);
    EXPECT_EQ(file->position, 10u);
}

TEST(DataFile, ZeroSizedItemsCountWithoutMoving)
{
    ScratchDir dir;
    auto file = openWith(dir, "abc");
    char out[4];
    EXPECT_EQ(readDataFile(out, 0, 7, file.get()), 7u);
    EXPECT_EQ(file->position, 0u);
}

TEST(DataFile, HugeItemSizeDoesNotWrapAround)
{
    ScratchDir dir;
    auto file = openWith(dir, "abcd");
    char out[4];
    EXPECT_EQ(readDataFile(out, 2, 1, file.get()), 1u);
    EXPECT_EQ(readDataFile(out, UINT32_MAX, 1, file.get()), 0u);
    EXPECT_EQ(file->position, 2u);
}

TEST(DataFile, NullHandleOrDestinationReadsNothing)
{
    ScratchDir dir;
    auto file = openWith(dir, "abcd");
    char out[4];
    EXPECT_EQ(readDataFile(out, 1, 4, nullptr), 0u);
    EXPECT_EQ(readDataFile(nullptr, 1, 4, file.get()), 0u);
    EXPECT_EQ(file->position, 0u);
    EXPECT_EQ(readDataString(nullptr), nullptr);
    EXPECT_EQ(closeDataFile(nullptr), 0);
}

TEST(DataFile, StringsReadUpToAndPastTheirTerminator)
{
    ScratchDir dir;
    auto file = openWith(dir, std::string("ab\0c\0", 5));
    EXPECT_EQ(takeString(readDataString(file.get())), "ab");
    EXPECT_EQ(file->position, 3u);
    EXPECT_EQ(takeString(readDataString(file.get())), "c");
    EXPECT_EQ(file->position, 5u);
}

TEST(DataFile, UnterminatedStringStopsAtTheEnd)
{
    ScratchDir dir;
    auto file = openWith(dir, std::string("x\0tail", 6));
    EXPECT_EQ(takeString(readDataString(file.get())), "x");
    EXPECT_EQ(takeString(readDataString(file.get())), "tail");
    EXPECT_EQ(file->position, 6u);
    EXPECT_EQ(takeString(readDataString(file.get())), "");
    EXPECT_EQ(file->position, 6u);
}

TEST(DataFile, MixedRecordsAndStringsReadInOrder)
{
    ScratchDir dir;
    std::string content("MESH1\0", 6);
    uint32_t count = 0x01020304;
    content.append(reinterpret_cast<const char*>(&count), 4);
    content.append("name\0", 5);
    auto file = openWith(dir, content);
    EXPECT_EQ(takeString(readDataString(file.get())), "MESH1");
    uint32_t read = 0;
    EXPECT_EQ(readDataFile(&read, 4, 1, file.get()), 1u);
    EXPECT_EQ(read, count);
    EXPECT_EQ(takeString(readDataString(file.get())), "name");
    EXPECT_EQ(file->position, file->size);
}

} // namespace
} // namespace tincrates

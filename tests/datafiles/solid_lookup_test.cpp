// Lookups in a solid archive keep what their walk passed and go on from where it stopped:
// whatever the order of the lookups, each gets its own member, and a changed archive is read
// afresh.
#include "datafiles/archive_reader.h"
#include "datafiles/archive_writer.h"
#include "support/writer_test_support.h"

#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tincrates {
namespace {

using namespace writer_test;

void writeSolidArchive(const std::string& path, const std::vector<std::pair<std::string, Bytes>>& members)
{
    ArchiveWriter writer(path, {3, true, "Kd7M"});
    for (const auto& [name, content] : members)
        writer.addMember(name, content, dosTime(0));
    writer.finish();
}

Bytes lookUp(const std::string& archive, const char* name, const char* password = "Kd7M")
{
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!getArchiveMember(&data, &size, name, archive.c_str(), password))
        return {};
    Bytes bytes(data, data + size);
    std::free(data);
    return bytes;
}

TEST(SolidLookup, AnyOrderOfLookupsGetsEachMemberWhole)
{
    testing::ScratchDir scratch;
    std::vector<std::pair<std::string, Bytes>> members;
    for (int i = 0; i < 6; ++i)
        members.push_back({"member" + std::to_string(i), textBytes(20000 + 977 * i, i)});
    members.push_back({"empty", {}});
    writeSolidArchive("pack.rar", members);

    for (int i : {5, 0, 3, 3, 1, 4, 2})
        EXPECT_EQ(lookUp("pack.rar", members[size_t(i)].first.c_str()), members[size_t(i)].second)
            << i;
    uint8_t* data = nullptr;
    uint32_t size = 7;
    ASSERT_EQ(getArchiveMember(&data, &size, "EMPTY", "pack.rar", "Kd7M"), 1);
    EXPECT_EQ(size, 0u);
    std::free(data);
    EXPECT_EQ(getArchiveMember(&data, &size, "missing", "pack.rar", "Kd7M"), 0);
    // The wrong password is not served from what the right one decoded.
    EXPECT_TRUE(lookUp("pack.rar", "member2", "wrong").empty());
    EXPECT_EQ(lookUp("pack.rar", "member2"), members[2].second);
}

TEST(SolidLookup, AnArchiveWrittenAgainIsReadAgain)
{
    testing::ScratchDir scratch;
    writeSolidArchive("pack.rar", {{"a", textBytes(5000, 1)}, {"b", textBytes(5000, 2)}});
    EXPECT_EQ(lookUp("pack.rar", "b"), textBytes(5000, 2));
    writeSolidArchive("pack.rar", {{"a", textBytes(7000, 3)}, {"b", textBytes(6000, 4)}});
    EXPECT_EQ(lookUp("pack.rar", "a"), textBytes(7000, 3));
    EXPECT_EQ(lookUp("pack.rar", "b"), textBytes(6000, 4));
}

} // namespace
} // namespace tincrates

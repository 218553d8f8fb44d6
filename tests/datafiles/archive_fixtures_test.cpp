// Real archives written by RAR 1.5, 2.x and 3.x programs (read in place from the shared
// fixtures folder): every member is extracted or refused as the folder's manifest says.
#include "datafiles/archive_reader.h"

#include "datafiles/crc32.h"
#include "datafiles/data_file.h"
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

const fs::path fixtures = fs::path(TINCRATES_FIXTURES_DIR) / "rar";

// What a correct reader makes of one member.
struct MemberExpectation {
    MemberExpectation(std::string name, ArchiveError result, std::string contentFile = {},
                      std::string content = {}, uint32_t crc = 0)
        : name(std::move(name)), result(result), contentFile(std::move(contentFile)),
          content(std::move(content)), crc(crc)
    {
    }

    std::string name;
    ArchiveError result;
    std::string contentFile; // expected bytes, a file of the fixtures folder
    std::string content;     // or the bytes themselves
    uint32_t crc;            // checked when neither is known
};

struct ArchiveExpectation {
    std::string archive;
    const char* password;
    std::vector<MemberExpectation> members;
};

// How a case's parameter reads in test output and CTest's list, instead of the record's bytes.
void PrintTo(const ArchiveExpectation& expectation, std::ostream* out)
{
    *out << expectation.archive << (expectation.password ? " with its password" : "") << ", "
         << expectation.members.size() << " members";
}

const std::vector<ArchiveExpectation>& expectations()
{
    constexpr auto ok = ArchiveError::ok;
    const std::string zx = "v20_zxtune_expected.bin";
    const std::string wav = "v20_boat_expected.wav";
    const std::string licence = "v20_boat_expected_LICENSE.txt";
    const std::string secret = "v20_psw_expected_SECRET.TXT";
    static const std::vector<ArchiveExpectation> all = {
        {"v20_zxtune_methods.rar", nullptr,
         {{"p0.bin", ok, zx}, {"p1.bin", ok, zx}, {"p2.bin", ok, zx}, {"p3.bin", ok, zx},
          {"p4.bin", ok, zx}, {"p5.bin", ok, zx}, {"pMM.bin", ok, zx}}},
        {"v20_zxtune_solid.rar", nullptr, {{"p5.bin", ok, zx}, {"p5_solid.bin", ok, zx}}},
        {"v20_boat_audio.rar", nullptr,
         {{"BoatModernEnglish.wav", ok, wav}, {"LICENSE.txt", ok, licence}}},
        {"v20_boat_lz.rar", nullptr,
         {{"BoatModernEnglish.wav", ok, wav}, {"LICENSE.txt", ok, licence}}},
        {"v20_winrar28_m5.rar", nullptr,
         {{"exe", ok, "", ""},
          {"jpg", ok, "", ""},
          {"exe\\test.exe", ok, "v20_winrar28_expected_test.exe"},
          {"jpg\\test.jpg", ok, "v20_winrar28_expected_test.jpg"},
          {"????.txt", ok, "v20_winrar28_expected_test_ru.txt"}}},
        {"v20_psw_stored.rar", "password", {{"SECRET.TXT", ok, secret}}},
        {"v20_psw_compressed.rar", "password", {{"SECRET.TXT", ok, secret}}},
        {"v20_comment_psw.rar", "password",
         {{"FILE1.TXT", ok, "", "file1\r\n"}, {"FILE2.TXT", ok, "", "file2\r\n"}}},
        {"v20_comment_nopsw.rar", nullptr,
         {{"FILE1.TXT", ok, "", "file1\r\n"}, {"FILE2.TXT", ok, "", "file2\r\n"}}},
        {"v20_unix_owner_rr.rar", nullptr, {{"file.txt", ok, "", "", 0x7e3265a8}}},
        {"v15_comment.rar", nullptr,
         {{"FILE1.TXT", ArchiveError::unsupportedMethod},
          {"FILE2.TXT", ok, "", "baaaar\r\n"}}},
        {"v15_boat_lz_dos.rar", nullptr,
         {{"BOATMO~1.WAV", ArchiveError::unsupportedMethod},
          {"LICENSE.TXT", ArchiveError::unsupportedMethod}}},
        {"v15_psw_stored.rar", "password", {{"SECRET.TXT", ArchiveError::unsupportedCipher}}},
        {"v15_psw_compressed.rar", "password",
         {{"SECRET.TXT", ArchiveError::unsupportedMethod}}},
        {"v29_rar3_testfile.rar", nullptr,
         {{"testfile.txt", ArchiveError::unsupportedVersion}}},
    };
    return all;
}

void checkContent(const MemberExpectation& expected, const Bytes& content)
{
    if (!expected.contentFile.empty())
        EXPECT_TRUE(content == testing::readFile(fixtures / expected.contentFile))
            << expected.name << " differs from " << expected.contentFile;
    else if (expected.crc != 0)
        EXPECT_EQ(crc32(0, content.data(), content.size()), expected.crc) << expected.name;
    else
        EXPECT_EQ(std::string(content.begin(), content.end()), expected.content) << expected.name;
}

class ArchiveFixture : public ::testing::TestWithParam<ArchiveExpectation> {
protected:
    void SetUp() override
    {
        if (!fs::exists(fixtures / GetParam().archive))
            GTEST_SKIP() << "fixtures not found at " << fixtures;
        path = (fixtures / GetParam().archive).string();
    }
    std::string path;
};

TEST_P(ArchiveFixture, EveryMemberExtractsOrIsRefusedInOnePass)
{
    const auto& expected = GetParam();
    std::vector<std::string> seen;
    ArchiveError walked = extractAllMembers(
        path.c_str(), expected.password,
        [&](const ArchiveEntry& entry, ArchiveError result, const uint8_t* data, uint64_t size) {
            size_t index = seen.size();
            seen.push_back(entry.name);
            if (index >= expected.members.size())
                return true;
            const auto& member = expected.members[index];
            EXPECT_EQ(entry.name, member.name);
            EXPECT_EQ(result, member.result)
                << member.name << ": " << describeArchiveError(result);
            if (result == ArchiveError::ok)
                checkContent(member, Bytes(data, data + size));
            return true;
        });
    // The walk of the archive with a sub-block stops there, after its only member.
    EXPECT_TRUE(walked == ArchiveError::ok || walked == ArchiveError::subBlock)
        << describeArchiveError(walked);
    EXPECT_EQ(seen.size(), expected.members.size());
}

TEST_P(ArchiveFixture, EachMemberIsFoundByNameAlone)
{
    // Each lookup walks the archive afresh, as the production's does; in the solid archive
    // that means decoding the members before the wanted one.
    for (const auto& member : GetParam().members) {
        uint8_t* data = nullptr;
        uint32_t size = 12345;
        int found = getArchiveMember(&data, &size, member.name.c_str(), path.c_str(),
                                     GetParam().password);
        EXPECT_EQ(found != 0, member.result == ArchiveError::ok) << member.name;
        if (found) {
            ASSERT_NE(data, nullptr);
            checkContent(member, Bytes(data, data + size));
        } else {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(size, 0u);
        }
        std::free(data);

        std::vector<uint8_t> content;
        EXPECT_EQ(extractArchiveMember(path.c_str(), member.name.c_str(), GetParam().password,
                                       content),
                  member.result)
            << member.name;
    }
}

TEST_P(ArchiveFixture, DataFilesComeFromItAsTheProductionsArchive)
{
    // The production's archive has its own password, so encrypted members here are not read
    // from it and come from data/ instead; everything else comes from the archive.
    testing::ScratchDir dir;
    fs::create_symlink(path, "stashpack");
    for (const auto& member : GetParam().members) {
        if (member.name.find_first_of("\\?") != std::string::npos)
            continue; // not a name the data folder could hold
        dir.write("data/" + member.name, "from the data folder");
        DataFile* file = openDataFile(member.name.c_str());
        ASSERT_NE(file, nullptr) << member.name;
        Bytes content(file->data, file->data + file->size);
        bool fromArchive = member.result == ArchiveError::ok && !GetParam().password;
        if (fromArchive)
            checkContent(member, content);
        else
            EXPECT_EQ(std::string(content.begin(), content.end()), "from the data folder")
                << member.name;
        closeDataFile(file);
    }
}

TEST_P(ArchiveFixture, ListingShowsEveryFileHeader)
{
    std::vector<ArchiveEntry> entries;
    EXPECT_EQ(listArchiveMembers(path.c_str(), entries), ArchiveError::ok);
    ASSERT_EQ(entries.size(), GetParam().members.size());
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i].name, GetParam().members[i].name);
}

std::string archiveTestName(const ::testing::TestParamInfo<ArchiveExpectation>& info)
{
    std::string name = info.param.archive.substr(0, info.param.archive.find('.'));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(RealArchives, ArchiveFixture, ::testing::ValuesIn(expectations()),
                         archiveTestName);

class ArchiveFixtureDetails : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(fixtures))
            GTEST_SKIP() << "fixtures not found at " << fixtures;
    }
};

TEST_F(ArchiveFixtureDetails, HeaderFieldsAreReadAsStored)
{
    std::vector<ArchiveEntry> entries;
    ASSERT_EQ(listArchiveMembers((fixtures / "v20_winrar28_m5.rar").c_str(), entries),
              ArchiveError::ok);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_TRUE(entries[0].isDirectory());
    EXPECT_EQ(entries[2].packSize, 18349u);
    EXPECT_EQ(entries[2].unpSize, 45056u);
    EXPECT_EQ(entries[2].fileCrc, 0xcfb109c8u);
    EXPECT_EQ(entries[2].unpVer, 20);
    EXPECT_EQ(entries[2].method, 0x35);
    EXPECT_FALSE(entries[2].isDirectory());
    EXPECT_EQ(entries[4].flags, 0x8280);
    EXPECT_EQ(entries[4].name, "????.txt");
    EXPECT_EQ(entries[4].unicodeName, "\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.txt"); // тест.txt
    EXPECT_EQ(entries[2].unicodeName, "");

    ASSERT_EQ(listArchiveMembers((fixtures / "v20_zxtune_solid.rar").c_str(), entries),
              ArchiveError::ok);
    EXPECT_FALSE(entries[0].isSolid());
    EXPECT_TRUE(entries[1].isSolid());
    ASSERT_EQ(listArchiveMembers((fixtures / "v20_psw_stored.rar").c_str(), entries),
              ArchiveError::ok);
    EXPECT_TRUE(entries[0].isEncrypted());
    EXPECT_EQ(entries[0].packSize, 96u);
}

TEST_F(ArchiveFixtureDetails, EncryptedMembersNeedTheirPassword)
{
    for (const char* archive : {"v20_psw_stored.rar", "v20_psw_compressed.rar"}) {
        std::vector<uint8_t> content;
        ArchiveError result =
            extractArchiveMember((fixtures / archive).c_str(), "SECRET.TXT", "Password", content);
        EXPECT_TRUE(result == ArchiveError::badCrc || result == ArchiveError::damagedData)
            << archive << ": " << describeArchiveError(result);
        EXPECT_TRUE(content.empty());
        // Without a password the member cannot be right, and the reason says so.
        for (const char* none : {"", static_cast<const char*>(nullptr)}) {
            EXPECT_EQ(extractArchiveMember((fixtures / archive).c_str(), "SECRET.TXT", none,
                                           content),
                      ArchiveError::needsPassword)
                << archive;
            EXPECT_TRUE(content.empty());
        }
    }
}

TEST_F(ArchiveFixtureDetails, MembersAreFoundWhateverTheCaseAndSeparator)
{
    auto archive = (fixtures / "v20_winrar28_m5.rar").string();
    for (const char* name : {"exe/test.exe", "EXE\\TEST.EXE", "Exe_Test.Exe"}) {
        std::vector<uint8_t> content;
        EXPECT_EQ(extractArchiveMember(archive.c_str(), name, nullptr, content), ArchiveError::ok)
            << name;
        EXPECT_EQ(content.size(), 45056u);
    }
}

} // namespace
} // namespace tincrates

// Archives written by the archive writer read back bit for bit: through the archive reader,
// through openDataFile as the production's archive, through `stash extract`, and through
// unar where it is installed.
#include "datafiles/archive_writer.h"

#include "datafiles/data_file.h"
#include "support/writer_test_support.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using writer_test::Bytes;

struct Member {
    std::string name; // as stored, "\" between folders
    Bytes content;
};

std::string slashed(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

void writeArchive(const std::string& path, const ArchiveSettings& settings,
                  const std::vector<Member>& members)
{
    ArchiveWriter writer(path, settings);
    for (const Member& member : members)
        writer.addMember(member.name, member.content, dosTime(1700000000));
    writer.finish();
}

// Checks every member through each reader; `password` empty for none.
void expectReadsBack(const std::string& archive, const std::vector<Member>& members,
                     const std::string& password)
{
    const char* key = password.empty() ? nullptr : password.c_str();
    for (const Member& member : members) {
        bool found = false;
        Bytes back = writer_test::readMember(archive, slashed(member.name), key, &found);
        EXPECT_TRUE(found) << member.name;
        EXPECT_TRUE(back == member.content) << member.name << ": reader differs";
    }

    fs::path stash = writer_test::stashProgram();
    if (fs::exists(stash)) {
        for (const Member& member : members) {
            std::string command = stash.string() + " extract " + archive + " '"
                + slashed(member.name) + "' -o extracted.bin"
                + (password.empty() ? "" : " -p '" + password + "'");
            ASSERT_EQ(writer_test::run(command), 0) << command;
            EXPECT_TRUE(writer_test::readFile("extracted.bin") == member.content)
                << member.name << ": stash extract differs";
        }
    }

    if (writer_test::hasProgram("unar")) {
        fs::remove_all("unar-out");
        std::string command = "unar -q -D -o unar-out "
            + (password.empty() ? std::string() : "-p '" + password + "' ") + archive
            + " >/dev/null 2>&1";
        ASSERT_EQ(writer_test::run(command), 0) << command;
        for (const Member& member : members) {
            EXPECT_TRUE(writer_test::readFile(fs::path("unar-out") / slashed(member.name))
                        == member.content)
                << member.name << ": unar differs";
        }
    }
}

std::vector<Member> everyKindOfInput()
{
    return {
        {"empty.bin", {}},
        {"one.bin", {0x41}},
        {"two.bin", {0x00, 0xFF}},
        {"random.bin", writer_test::randomBytes(20000, 1)},
        {"text\\story.txt", writer_test::textBytes(60000, 2)},
        {"code.exe", writer_test::binaryBytes(40000, 3)},
        {"repeat.dat", writer_test::repetitiveBytes(30000)},
        {"sound.raw", writer_test::pcmBytes(60000, 4)},
        {"tail.txt", writer_test::textBytes(777, 5)},
    };
}

using Combination = std::tuple<int, bool, bool>; // level, solid, encrypted

class RoundTrip : public ::testing::TestWithParam<Combination> {};

TEST_P(RoundTrip, EveryKindOfInputReadsBackBitForBit)
{
    auto [level, isSolid, isEncrypted] = GetParam();
    testing::ScratchDir scratch;
    // The production's own archive name and password, so openDataFile finds the members.
    ArchiveSettings settings{level, isSolid, isEncrypted ? dataArchivePassword : ""};
    std::vector<Member> members = everyKindOfInput();
    writeArchive(dataArchiveName, settings, members);

    expectReadsBack(dataArchiveName, members, settings.password);
    for (const Member& member : members) {
        DataFile* file = openDataFile(slashed(member.name).c_str());
        ASSERT_NE(file, nullptr) << member.name;
        EXPECT_TRUE(Bytes(file->data, file->data + file->size) == member.content)
            << member.name;
        closeDataFile(file);
    }
}

std::string combinationName(const ::testing::TestParamInfo<Combination>& info)
{
    return "m" + std::to_string(std::get<0>(info.param))
        + (std::get<1>(info.param) ? "Solid" : "") + (std::get<2>(info.param) ? "Encrypted" : "");
}

INSTANTIATE_TEST_SUITE_P(AllLevels, RoundTrip,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Bool(),
                                            ::testing::Bool()),
                         combinationName);

// Content larger than the window, with a block that comes back from nearly 1 MiB earlier.
Bytes largerThanTheWindow(uint32_t seed)
{
    Bytes echo = writer_test::randomBytes(150000, seed);
    Bytes content = echo;
    Bytes text = writer_test::textBytes(850000, seed + 1);
    content.insert(content.end(), text.begin(), text.end());
    content.insert(content.end(), echo.begin(), echo.end());
    Bytes sound = writer_test::pcmBytes(300000, seed + 2);
    content.insert(content.end(), sound.begin(), sound.end());
    return content;
}

TEST(RoundTripLarge, MembersLargerThanTheWindowReadBackAtEveryLevel)
{
    testing::ScratchDir scratch;
    std::vector<Member> members{{"large.bin", largerThanTheWindow(11)},
                                {"after.txt", writer_test::textBytes(5000, 12)}};
    for (int level : {1, 3, 5}) {
        SCOPED_TRACE("level " + std::to_string(level));
        writeArchive("large.rar", {level, true, "big secret"}, members);
        expectReadsBack("large.rar", members, "big secret");
    }
    writeArchive("plain.rar", {3, false, ""}, members);
    expectReadsBack("plain.rar", members, "");
}

TEST(RoundTripSolid, SolidSetsOfSeveralLargeMembersReadBack)
{
    testing::ScratchDir scratch;
    // Later members repeat earlier ones, so matches reach back across member boundaries.
    Bytes first = writer_test::textBytes(700000, 21);
    Bytes second = writer_test::binaryBytes(500000, 22);
    second.insert(second.end(), first.begin() + 1000, first.begin() + 200000);
    // Past 2 MiB the compressor drops all but the last window of what it has seen.
    std::vector<Member> members{{"a.txt", first}, {"b.bin", second},
                                {"c.raw", writer_test::pcmBytes(200000, 23)},
                                {"d.txt", Bytes(first.begin(), first.begin() + 300000)},
                                {"e.bin", writer_test::binaryBytes(400000, 24)},
                                {"f.txt", Bytes(first.begin() + 5000, first.begin() + 90000)}};
    writeArchive("set.rar", {4, true, ""}, members);
    expectReadsBack("set.rar", members, "");
}

TEST(RoundTripSolid, EncryptedSolidMembersEndSafelyAtEveryAlignment)
{
    // Each size puts a member's last symbol at another place in the last cipher block, so
    // the zero padding after it takes every length and bit offset in turn.
    testing::ScratchDir scratch;
    std::vector<Member> members;
    Bytes text = writer_test::textBytes(4000, 31);
    Bytes noise = writer_test::randomBytes(4000, 32);
    for (size_t size = 1; size <= 70; ++size) {
        const Bytes& source = size % 3 == 0 ? noise : text;
        size_t start = (size * 37) % 1000;
        members.push_back({"m" + std::to_string(size),
                           Bytes(source.begin() + std::ptrdiff_t(start),
                                 source.begin() + std::ptrdiff_t(start + size * 13 % 300 + size))});
    }
    // Sound members end in multimedia mode, where the end check reads a channel's table.
    for (size_t k = 0; k < 12; ++k)
        members.push_back({"sound" + std::to_string(k), writer_test::pcmBytes(20000 + k * 7, 33)});
    members.push_back({"last.txt", writer_test::textBytes(500, 34)});
    writeArchive("edges.rar", {3, true, "Kd7M"}, members);
    expectReadsBack("edges.rar", members, "Kd7M");
}

TEST(RoundTripEnds, ManyMembersEndAnywhereInTheirLastBytes)
{
    // Readers that decode with a look-ahead of several bytes must find enough after every
    // member's last symbol, wherever in its last bytes that symbol ends. Skewed bytes give
    // codes of many lengths, so the ends fall at every bit offset.
    testing::ScratchDir scratch;
    std::vector<Member> members;
    std::mt19937 random(8);
    const double rates[] = {0.05, 0.08, 0.15, 0.3};
    for (uint32_t i = 0; i < 300; ++i) {
        std::exponential_distribution<double> skewed(rates[random() % 4]);
        Bytes content(200 + i * 17);
        for (auto& b : content)
            b = uint8_t(std::min(255.0, skewed(random)));
        members.push_back({"s" + std::to_string(i), content});
    }
    writeArchive("ends.rar", {1, false, ""}, members);
    expectReadsBack("ends.rar", members, "");
}

// 8-bit sound of `channels` interleaved tones, 64 KiB: one segment of the compressor.
Bytes interleavedSound(int channels, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(65536);
    for (size_t i = 0; i < bytes.size(); ++i) {
        size_t channel = i % size_t(channels);
        double t = double(i / size_t(channels));
        double tone = 90 * std::sin(t * (0.02 + 0.013 * double(channel)) + double(channel));
        bytes[i] = uint8_t(128 + int(tone) + int(random() % 5) - 2);
    }
    return bytes;
}

TEST(RoundTripSound, ChangingChannelCountsReadBack)
{
    // Each change of channel count brings a table set of another size; every reader must
    // agree on the lengths the new set is coded against.
    testing::ScratchDir scratch;
    Bytes content;
    for (int channels : {3, 1, 2, 4, 1, 3}) {
        Bytes part = interleavedSound(channels, uint32_t(channels));
        content.insert(content.end(), part.begin(), part.end());
    }
    std::vector<Member> members{{"sound.raw", content}};
    writeArchive("sound.rar", {3, false, ""}, members);
    expectReadsBack("sound.rar", members, "");
}

TEST(RoundTripFixtures, RealArchivesRepackedReadBack)
{
    fs::path fixtures = fs::path(TINCRATES_FIXTURES_DIR) / "rar";
    if (!fs::exists(fixtures / "v20_winrar28_m5.rar"))
        GTEST_SKIP() << "fixtures not found at " << fixtures;
    struct Source {
        const char* archive;
        const char* member;
        const char* password;
    };
    const Source sources[] = {
        {"v20_winrar28_m5.rar", "exe/test.exe", nullptr},
        {"v20_winrar28_m5.rar", "jpg/test.jpg", nullptr},
        {"v20_boat_audio.rar", "BoatModernEnglish.wav", nullptr},
        {"v20_zxtune_solid.rar", "p5_solid.bin", nullptr},
        {"v20_zxtune_methods.rar", "pMM.bin", nullptr},
    };
    std::vector<Member> members;
    for (const Source& source : sources) {
        bool found = false;
        Bytes content = writer_test::readMember((fixtures / source.archive).string(), source.member,
                                            source.password, &found);
        ASSERT_TRUE(found) << source.archive << " " << source.member;
        std::string name = source.member;
        std::replace(name.begin(), name.end(), '/', '\\');
        members.push_back({name, content});
    }
    testing::ScratchDir scratch;
    for (bool isSolid : {false, true}) {
        writeArchive("repacked.rar", {5, isSolid, "Kd7M"}, members);
        expectReadsBack("repacked.rar", members, "Kd7M");
    }
}

} // namespace
} // namespace tincrates

// Damaged archives: every cut, and single-bit flips at every byte (both sampled in the larger
// archives), either still extract with the right CRC-32 or fail cleanly. Meant to run under AddressSanitizer
// and UndefinedBehaviorSanitizer, which turn a stray read or write into a failure; a hang
// runs into the test's time limit.
#include "datafiles/archive_reader.h"

#include "datafiles/crc32.h"
#include "support/rar20_stream_writer.h"
#include "support/rar_test_archive.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Rar20StreamWriter;
using testing::TestArchive;

const fs::path fixtures = fs::path(TINCRATES_FIXTURES_DIR) / "rar";

// Extracts and lists every member of `bytes`; any success must carry its CRC-32.
void expectCleanResult(const Bytes& bytes, const std::string& what)
{
    // A fresh file each time: rewriting one in place makes some file systems flush it.
    fs::remove("damaged.rar");
    testing::writeFile("damaged.rar", bytes);
    size_t visited = 0;
    extractAllMembers("damaged.rar", "password",
                      [&](const ArchiveEntry& entry, ArchiveError result, const uint8_t* data,
                          uint64_t size) {
                          ++visited;
                          if (result == ArchiveError::ok) {
                              EXPECT_EQ(size, entry.unpSize) << what;
                              EXPECT_EQ(crc32(0, data, size_t(size)), entry.fileCrc) << what;
                          }
                          return true;
                      });
    std::vector<ArchiveEntry> entries;
    listArchiveMembers("damaged.rar", entries);
    EXPECT_LE(visited, entries.size()) << what;
}

// Cuts at every `cutStep`-th offset (every offset within the first `headerBytes`), and flips
// `flipsPerByte` (1, 2, 4 or 8) evenly spread bits, from a random one on, of every
// `flipStep`-th byte.
void walkDamage(const Bytes& original, const std::string& name, size_t cutStep, size_t flipStep,
                int flipsPerByte)
{
    testing::ScratchDir dir;
    const size_t headerBytes = 200;
    for (size_t cut = 0; cut < original.size(); cut += cut < headerBytes ? 1 : cutStep)
        expectCleanResult(Bytes(original.begin(), original.begin() + long(cut)),
                          name + " cut at " + std::to_string(cut));

    std::mt19937 random(uint32_t(original.size()));
    Bytes damaged = original;
    for (size_t at = 0; at < original.size(); at += at < headerBytes ? 1 : flipStep) {
        unsigned firstBit = unsigned(random() % 8);
        for (int flip = 0; flip < flipsPerByte; ++flip) {
            uint8_t bit = uint8_t(1u << ((firstBit + unsigned(flip * 8 / flipsPerByte)) % 8));
            damaged[at] ^= bit;
            expectCleanResult(damaged, name + " bit " + std::to_string(bit) + " of byte "
                                           + std::to_string(at));
            damaged[at] ^= bit;
        }
        if (::testing::Test::HasFailure())
            return; // one report is enough
    }
}

Bytes fixture(const char* name)
{
    return testing::readFile(fixtures / name);
}

class DamagedArchive : public ::testing::Test {
protected:
    void requireFixtures()
    {
        if (!fs::exists(fixtures))
            GTEST_SKIP() << "fixtures not found at " << fixtures;
    }
};

TEST_F(DamagedArchive, SmallRealArchivesAtEveryOffset)
{
    requireFixtures();
    if (IsSkipped())
        return;
    for (const char* name : {"v20_psw_stored.rar", "v20_psw_compressed.rar",
                             "v20_comment_psw.rar", "v20_comment_nopsw.rar",
                             "v20_unix_owner_rr.rar", "v15_comment.rar", "v15_psw_stored.rar",
                             "v15_psw_compressed.rar", "v29_rar3_testfile.rar"})
        walkDamage(fixture(name), name, 1, 1, 4);
}

TEST_F(DamagedArchive, LargeRealArchivesSampled)
{
    requireFixtures();
    if (IsSkipped())
        return;
    // Headers in full, data at about 150 places each: decoding these members dominates.
    for (const char* name : {"v20_zxtune_solid.rar", "v20_boat_audio.rar", "v20_boat_lz.rar",
                             "v20_winrar28_m5.rar", "v20_zxtune_methods.rar",
                             "v15_boat_lz_dos.rar"}) {
        Bytes bytes = fixture(name);
        size_t step = std::max<size_t>(1, bytes.size() / 150);
        walkDamage(bytes, name, step, step, 1);
    }
}

// Archives written symbol by symbol: LZ with every kind of match and a table switch, a
// solid successor, two-channel audio, and encrypted members (compressed and stored).
TEST_F(DamagedArchive, WrittenArchivesAtEveryOffset)
{
    Rar20StreamWriter writer;
    writer.lzTables();
    writer.literals("crates, crates and more crates; ");
    writer.match(20, 17);
    writer.shortMatch(9);
    writer.repeatLast();
    writer.oldDistance(2, 6);
    writer.switchToLz(Rar20StreamWriter::fullLzLengths({'c', 'r'}), true);
    writer.literals("end of the first");
    Bytes first = writer.expected;
    Bytes firstStream = writer.finish();
    writer.match(16, 16);
    writer.literals("second");
    Bytes second(writer.expected.begin() + long(first.size()), writer.expected.end());
    Bytes secondStream = writer.finish();

    TestArchive solid(rar::MHD_SOLID);
    solid.add(testing::compressedMember("one", firstStream, first));
    auto successor = testing::compressedMember("two", secondStream, second);
    successor.flags = rar::LHD_SOLID;
    solid.add(successor);
    walkDamage(solid.bytes, "written solid", 1, 1, 4);

    Rar20StreamWriter audio;
    audio.audioTables(2);
    for (int i = 0; i < 40; ++i) {
        // Fewer than 32 bytes per channel: each climbs by its own step (3 and 2).
        int step = i % 2 ? 2 : 3;
        audio.audioDelta(uint8_t(-step), uint8_t((i / 2 + 1) * step));
    }
    Bytes audioContent = audio.expected;
    auto audioMember = testing::compressedMember("audio", audio.finish(), audioContent);

    auto lockedStream = testing::compressedMember("locked", firstStream, first);
    lockedStream.password = "password";
    auto lockedStored = testing::storedMember("stored", "a stored and encrypted member, 51 bytes");
    lockedStored.password = "password";
    TestArchive mixed;
    mixed.add(audioMember).add(lockedStream).add(lockedStored);
    walkDamage(mixed.bytes, "written mixed", 1, 1, 4);

    // The undamaged archives extract in full.
    testing::ScratchDir dir;
    for (const Bytes* bytes : {&solid.bytes, &mixed.bytes}) {
        testing::writeFile("whole.rar", *bytes);
        EXPECT_EQ(extractAllMembers("whole.rar", "password",
                                    [](const ArchiveEntry& entry, ArchiveError result,
                                       const uint8_t*, uint64_t) {
                                        EXPECT_EQ(result, ArchiveError::ok) << entry.name;
                                        return true;
                                    }),
                  ArchiveError::ok);
    }
}

} // namespace
} // namespace tincrates

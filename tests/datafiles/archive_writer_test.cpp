// The container the archive writer lays out: headers, their CRCs and the member flags.
#include "datafiles/archive_writer.h"

#include "datafiles/crc32.h"
#include "datafiles/rar_format.h"
#include "support/writer_test_support.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tincrates {
namespace {

using writer_test::Bytes;

uint32_t read16(const Bytes& b, size_t at) { return b[at] | uint32_t(b[at + 1]) << 8; }
uint32_t read32(const Bytes& b, size_t at) { return read16(b, at) | read16(b, at + 2) << 16; }

struct FileHeader {
    size_t start;
    uint32_t flags, headerSize, packedSize, unpackedSize, host, fileCrc, time, version, method;
    std::string name;
    bool isHeaderCrcRight;
};

// Walks the blocks after the marker and main header.
std::vector<FileHeader> fileHeaders(const Bytes& archive)
{
    std::vector<FileHeader> headers;
    size_t at = rar::markerBlock.size() + rar::mainHeaderSize;
    while (at + rar::fileHeaderSize <= archive.size()) {
        FileHeader h{};
        h.start = at;
        h.flags = read16(archive, at + 3);
        h.headerSize = read16(archive, at + 5);
        h.packedSize = read32(archive, at + 7);
        h.unpackedSize = read32(archive, at + 11);
        h.host = archive[at + 15];
        h.fileCrc = read32(archive, at + 16);
        h.time = read32(archive, at + 20);
        h.version = archive[at + 24];
        h.method = archive[at + 25];
        uint32_t nameSize = read16(archive, at + 26);
        h.name.assign(archive.begin() + std::ptrdiff_t(at + 32),
                      archive.begin() + std::ptrdiff_t(at + 32 + nameSize));
        h.isHeaderCrcRight = (crc32(0, archive.data() + at + 2, h.headerSize - 2) & 0xFFFF)
            == read16(archive, at);
        EXPECT_EQ(archive[at + 2], rar::FILE_HEAD);
        headers.push_back(h);
        at += h.headerSize + h.packedSize;
    }
    EXPECT_EQ(at, archive.size()) << "blocks end with the file";
    return headers;
}

Bytes writeAndRead(const ArchiveSettings& settings,
                   const std::vector<std::pair<std::string, Bytes>>& members)
{
    ArchiveWriter writer("out.rar", settings);
    for (const auto& [name, content] : members)
        writer.addMember(name, content, 0x5A8B3C21);
    writer.finish();
    return writer_test::readFile("out.rar");
}

TEST(ArchiveWriter, StartsWithTheMarkerAndAMainHeaderWithItsCrc)
{
    testing::ScratchDir scratch;
    for (bool isSolid : {false, true}) {
        Bytes archive = writeAndRead({3, isSolid, ""}, {{"a.txt", {'x'}}});
        ASSERT_GE(archive.size(), 20u);
        EXPECT_TRUE(std::equal(rar::markerBlock.begin(), rar::markerBlock.end(),
                               archive.begin()));
        const size_t main = rar::markerBlock.size();
        EXPECT_EQ(archive[main + 2], rar::MAIN_HEAD);
        EXPECT_EQ(read16(archive, main + 3), isSolid ? rar::MHD_SOLID : 0u);
        EXPECT_EQ(read16(archive, main + 5), rar::mainHeaderSize);
        EXPECT_EQ(read16(archive, main), crc32(0, archive.data() + main + 2, 11) & 0xFFFF);
    }
}

TEST(ArchiveWriter, FileHeadersCarryVersionMethodSizesHostTimeAndCrcs)
{
    testing::ScratchDir scratch;
    Bytes text = writer_test::textBytes(5000, 1);
    for (int level = 0; level <= 5; ++level) {
        Bytes archive = writeAndRead({level, false, ""}, {{"dir\\text.txt", text}});
        std::vector<FileHeader> headers = fileHeaders(archive);
        ASSERT_EQ(headers.size(), 1u);
        const FileHeader& h = headers[0];
        EXPECT_EQ(h.name, "dir\\text.txt");
        EXPECT_EQ(h.headerSize, rar::fileHeaderSize + h.name.size());
        EXPECT_EQ(h.version, 20u);
        EXPECT_EQ(h.method, 0x30u + unsigned(level));
        EXPECT_EQ(h.host, rar::HOST_MSDOS);
        EXPECT_EQ(h.time, 0x5A8B3C21u);
        EXPECT_EQ(h.unpackedSize, text.size());
        EXPECT_EQ(h.fileCrc, crc32(0, text.data(), text.size()));
        EXPECT_TRUE(h.isHeaderCrcRight);
        EXPECT_TRUE(h.flags & rar::LONG_BLOCK);
        EXPECT_FALSE(h.flags & (rar::LHD_PASSWORD | rar::LHD_SOLID));
        if (level == 0)
            EXPECT_EQ(h.packedSize, text.size());
        else
            EXPECT_LT(h.packedSize, text.size() / 2) << "level " << level;
    }
}

TEST(ArchiveWriter, StoresMembersThatDoNotCompress)
{
    testing::ScratchDir scratch;
    Bytes noise = writer_test::randomBytes(3000, 2);
    std::vector<FileHeader> headers = fileHeaders(
        writeAndRead({5, false, ""}, {{"noise", noise}, {"tiny", {1, 2}}, {"none", {}}}));
    ASSERT_EQ(headers.size(), 3u);
    for (const FileHeader& h : headers) {
        EXPECT_EQ(h.method, rar::METHOD_STORE) << h.name;
        EXPECT_EQ(h.packedSize, h.unpackedSize) << h.name;
    }
}

TEST(ArchiveWriter, EncryptedMembersArePaddedToWholeCipherBlocks)
{
    testing::ScratchDir scratch;
    Bytes archive = writeAndRead({3, false, "pw"}, {{"text", writer_test::textBytes(3001, 3)},
                                                    {"noise", writer_test::randomBytes(100, 4)},
                                                    {"none", {}}});
    std::vector<FileHeader> headers = fileHeaders(archive);
    ASSERT_EQ(headers.size(), 3u);
    for (const FileHeader& h : headers) {
        EXPECT_TRUE(h.flags & rar::LHD_PASSWORD) << h.name;
        EXPECT_EQ(h.packedSize % 16, 0u) << h.name;
        EXPECT_TRUE(h.isHeaderCrcRight) << h.name;
    }
    EXPECT_EQ(headers[1].packedSize, 112u) << "stored, 100 bytes padded";
    EXPECT_EQ(headers[2].packedSize, 0u);
}

TEST(ArchiveWriter, SolidMembersAfterTheFirstCarryTheSolidFlagAndEmptyOnesGoLast)
{
    testing::ScratchDir scratch;
    Bytes archive = writeAndRead({3, true, ""}, {{"first", writer_test::textBytes(2000, 5)},
                                                 {"empty", {}},
                                                 {"second", writer_test::randomBytes(500, 6)},
                                                 {"third", {7}}});
    std::vector<FileHeader> headers = fileHeaders(archive);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].name, "first");
    EXPECT_FALSE(headers[0].flags & rar::LHD_SOLID);
    for (size_t i : {1, 2}) {
        EXPECT_TRUE(headers[i].flags & rar::LHD_SOLID) << headers[i].name;
        EXPECT_NE(headers[i].method, rar::METHOD_STORE) << "solid members stay compressed";
    }
    EXPECT_EQ(headers[3].name, "empty");
    EXPECT_EQ(headers[3].method, rar::METHOD_STORE);
    EXPECT_FALSE(headers[3].flags & rar::LHD_SOLID);
}

TEST(ArchiveWriter, ReportsAnArchiveItCannotCreate)
{
    testing::ScratchDir scratch;
    try {
        ArchiveWriter writer("no/such/folder/out.rar", {});
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot create no/such/folder/out.rar: No such file or directory");
    }
}

TEST(ArchiveWriter, RefusesEmptyNamesAndBadLevels)
{
    testing::ScratchDir scratch;
    EXPECT_THROW(ArchiveWriter("out.rar", {6, false, ""}), std::runtime_error);
    ArchiveWriter writer("out.rar", {});
    EXPECT_THROW(writer.addMember("", {}, 0), std::runtime_error);
}

TEST(DosTime, PacksLocalTimeAsTheFormatWantsIt)
{
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 15;
    local.tm_hour = 13;
    local.tm_min = 45;
    local.tm_sec = 31;
    local.tm_isdst = -1;
    std::time_t time = std::mktime(&local);
    EXPECT_EQ(dosTime(time), uint32_t(15 | 3 << 5 | 44 << 9) << 16 | (13 << 11 | 45 << 5 | 15));
    EXPECT_EQ(dosTime(0) >> 25, 0u) << "dates before 1980 become 1980";
}

} // namespace
} // namespace tincrates

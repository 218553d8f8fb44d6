// capture on a small production damaged one way at a time, run as users run it: each damage
// ends with exit code 1 and the message that names it, or, where data/ still holds the file,
// the run goes on from there.
#include "datafiles/archive_reader.h"
#include "datafiles/archive_writer.h"
#include "datafiles/data_file.h"
#include "support/child_process.h"
#include "support/demo_fixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using namespace tincrates::testing;

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct CaptureDamage : ::testing::Test {
    CaptureDamage() { writeTestProduction(folder); }

    // Runs capture for the frame at beat 0 in the scratch folder; returns its exit code and
    // keeps what it wrote on standard error in `errors`.
    int capture()
    {
        std::string command =
            std::string(CAPTURE_PROGRAM) + " --at 0 -o out >output.txt 2>errors.txt";
        int status = std::system(command.c_str());
        errors = fileContents("errors.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Packs data/ into the archive "stashpack", stored so that damage lands where it is put,
    // with `password`; the soundtrack goes first. Keeps data/ aside in "kept/" and removes it.
    void packArchive(const std::string& password, bool keepsDataFolder)
    {
        ArchiveWriter writer(dataArchiveName, {0, false, password});
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator("data"))
            files.push_back(entry.path());
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            bool aFirst = a.filename() == "soundtrk.mp3";
            bool bFirst = b.filename() == "soundtrk.mp3";
            return aFirst != bFirst ? aFirst : a < b;
        });
        for (const fs::path& file : files) {
            std::string bytes = fileContents(file);
            writer.addMember(file.filename().string(),
                             {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, 0);
        }
        writer.finish();
        if (!keepsDataFolder)
            fs::remove_all("data");
    }

    // The file offset of the first packed byte of member `name`.
    uint64_t dataOffsetOf(const std::string& name)
    {
        std::vector<ArchiveEntry> entries;
        EXPECT_EQ(listArchiveMembers(dataArchiveName, entries), ArchiveError::ok);
        for (const ArchiveEntry& entry : entries)
            if (entry.name == name)
                return entry.headerPosition + entry.headSize;
        ADD_FAILURE() << name << " is not in the archive";
        return 0;
    }

    void flipByteAt(uint64_t offset)
    {
        std::string bytes = fileContents(dataArchiveName);
        bytes[size_t(offset)] = char(bytes[size_t(offset)] ^ 0x40);
        writeBytes(dataArchiveName, bytes);
    }

    ScratchDir folder;
    std::string errors;
};

TEST_F(CaptureDamage, TheArchiveAloneIsEnough)
{
    packArchive(dataArchivePassword, false);
    EXPECT_EQ(capture(), 0) << errors;
    EXPECT_EQ(errors, "");
}

TEST_F(CaptureDamage, ATruncatedArchiveSaysWhyTheFileIsMissing)
{
    packArchive(dataArchivePassword, false);
    uint64_t cut = dataOffsetOf("soundtrk.mp3") + 1000;
    writeBytes(dataArchiveName, fileContents(dataArchiveName).substr(0, size_t(cut)));
    EXPECT_EQ(capture(), 1);
    EXPECT_EQ(errors, "capture: Failed to load soundtrk.mp3\nfile not found\nstashpack: packed "
                      "data does not decode to the member: wrong password or damaged member\n");
}

TEST_F(CaptureDamage, ATruncatedArchiveIsStoodInForByTheDataFolder)
{
    packArchive(dataArchivePassword, true);
    writeBytes(dataArchiveName, fileContents(dataArchiveName).substr(0, 2000));
    EXPECT_EQ(capture(), 0) << errors;
}

TEST_F(CaptureDamage, AFlippedBitSaysWhyTheFileIsMissing)
{
    packArchive(dataArchivePassword, false);
    flipByteAt(dataOffsetOf("crate.material") + 3);
    EXPECT_EQ(capture(), 1);
    EXPECT_EQ(errors, "capture: Failed to load voltcrate.scene\nFailed to load crate.mesh\n"
                      "Failed to load crate.material\nFile not found\nstashpack: CRC-32 differs: "
                      "wrong password or damaged member\n");
}

TEST_F(CaptureDamage, AFlippedBitIsStoodInForByTheDataFolder)
{
    packArchive(dataArchivePassword, true);
    flipByteAt(dataOffsetOf("crate.material") + 3);
    EXPECT_EQ(capture(), 0) << errors;
}

TEST_F(CaptureDamage, ADamagedHeaderSaysWhereItIs)
{
    packArchive(dataArchivePassword, false);
    // The header size of the first member, which starts behind the marker and main header.
    std::string bytes = fileContents(dataArchiveName);
    bytes[20 + 5] = 3;
    bytes[20 + 6] = 0;
    writeBytes(dataArchiveName, bytes);
    EXPECT_EQ(capture(), 1);
    EXPECT_EQ(errors, "capture: Failed to load soundtrk.mp3\nfile not found\nstashpack: damaged "
                      "archive: a block header is malformed or cut short (block at offset 20)\n");
}

TEST_F(CaptureDamage, AWrongPasswordSaysWhyTheFileIsMissing)
{
    packArchive("not the production's", false);
    EXPECT_EQ(capture(), 1);
    EXPECT_EQ(errors, "capture: Failed to load soundtrk.mp3\nfile not found\nstashpack: CRC-32 "
                      "differs: wrong password or damaged member\n");
}

TEST_F(CaptureDamage, AWrongPasswordIsStoodInForByTheDataFolder)
{
    packArchive("not the production's", true);
    EXPECT_EQ(capture(), 0) << errors;
}

TEST_F(CaptureDamage, EachLoadersDamagedFileEndsTheRunWithItsMessage)
{
    struct Damage {
        const char* file;
        std::string content;
        std::string message;
    };
    const std::string bytes(64, '\x5A');
    const Damage damages[] = {
        {"voltcrate.scene", "<scene>\n<object mesh=\"crate.mesh\">\n</scene>\n",
         "Failed to load voltcrate.scene\nline 3: "},
        {"crate.mesh", "MESH2" + bytes,
         "Failed to load voltcrate.scene\nFailed to load crate.mesh\nNot a MESH1-file\n"},
        {"crate.material", "<material><cull mode=\"sideways\"/></material>",
         "Failed to load voltcrate.scene\nFailed to load crate.mesh\n"
         "Failed to load crate.material\ninvalid cull mode\n"},
        {"crate.png", "\x89PNG\r\n\x1a\n" + bytes,
         "Failed to load voltcrate.scene\nFailed to load crate.mesh\n"
         "Failed to load crate.material\nFailed to load crate.png\nfailed to load crate.png: "
         "truncated PNG data\n"},
        {"soundtrk.mp3", bytes,
         "Failed to load soundtrk.mp3\nThe file's format is not recognised/supported.\n"},
    };
    for (const Damage& damage : damages) {
        std::string good = fileContents(fs::path("data") / damage.file);
        writeBytes(fs::path("data") / damage.file, damage.content);
        EXPECT_EQ(capture(), 1) << damage.file;
        EXPECT_EQ(errors.rfind("capture: " + damage.message, 0), 0u)
            << damage.file << ": " << errors;
        writeBytes(fs::path("data") / damage.file, good);
    }
}

TEST_F(CaptureDamage, AFailedCaptureRemovesTheEmptyFoldersItMadeAndNoOthers)
{
    writeBytes("data/soundtrk.mp3", std::string(64, '\x5A'));
    fs::create_directories("empty");
    fs::create_directories("kept/inner");
    writeBytes("kept/note.txt", "not capture's");
    for (const char* output : {"-o frames", "-o video/part/demo.mp4", "--at 5 -o moments",
                               "--at 5 -o stills/one.png", "--contact-sheet sheets/all.png",
                               "-o empty", "-o kept", "-o kept/inner/deeper/demo.mp4"}) {
        std::string command = std::string(CAPTURE_PROGRAM) + " " + output
            + " >output.txt 2>errors.txt";
        int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1) << output;
        EXPECT_EQ(fileContents("errors.txt").rfind("capture: Failed to load soundtrk.mp3\n", 0), 0u)
            << output;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator("."))
        names.push_back(entry.path().lexically_relative(".").string());
    std::sort(names.begin(), names.end());
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& name) { return name.rfind("data", 0) == 0; }),
                names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "errors.txt", "kept", "kept/inner",
                                               "kept/note.txt", "output.txt"}));
}

TEST_F(CaptureDamage, TheMp3ThatCrashedTheResamplerPlays)
{
    fs::path hostile =
        fs::path(TINCRATES_FIXTURES_DIR) / "hostile" / "mp3-soxr-null-output.mp3";
    if (!fs::exists(hostile))
        GTEST_SKIP() << "fixtures not found";
    fs::remove("data/soundtrk.mp3");
    fs::create_symlink(hostile, "data/soundtrk.mp3"); // read in place
    EXPECT_EQ(capture(), 0) << errors;
    EXPECT_EQ(errors, "");
}

} // namespace
} // namespace tincrates

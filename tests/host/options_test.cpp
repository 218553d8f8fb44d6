// The program's own options: a picture size that is not a 4:3 size in pixels is refused in
// one line before anything opens, with where to read what the options take.
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace tincrates {
namespace {

using testing::ScratchDir;

TEST(ProgramOptions, APictureSizeThatIsNotA4By3SizeInPixelsIsOneLineOfError)
{
    ScratchDir folder;
    struct Case {
        const char* arguments;
        const char* error;
    } cases[] = {
        {"--size 800x500", "tincrates: --size takes a 4:3 size such as 640x480 or 1440x1080, "
                           "not 800x500"},
        // The example is one the option takes; sides of nine digits are compared in 64 bits.
        {"--size big", "tincrates: --size takes a size in pixels such as 1440x1080, not \"big\""},
        {"--size 999999999x999999999", "tincrates: --size takes a 4:3 size such as 640x480 or "
                                       "1440x1080, not 999999999x999999999"},
        {"--size 0x0", "tincrates: --size 0x0 is too small: at least 320x240"},
        {"--size", "tincrates: --size needs a value such as 640x480"},
    };
    for (const Case& c : cases) {
        std::string command = std::string(TINCRATES_PROGRAM) + " " + c.arguments
            + " >output.txt 2>errors.txt";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.arguments;
        std::ifstream errors("errors.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(errors), {}),
            std::string(c.error) + " (see tincrates --help)\n");
    }
}

// The sync editor is for the maker's mode only, at an address whose port, if given, is one.
TEST(ProgramOptions, TheSyncEditorIsTheMakersAtHostAndPort)
{
    ScratchDir folder;
    struct Case {
        const char* arguments;
        const char* error; // the first line on standard error
    } cases[] = {
        {"--sync-editor", "tincrates: --sync-editor needs --maker (see tincrates --help)"},
        {"--sync-editor localhost:1338", "tincrates: --sync-editor needs --maker (see tincrates "
                                         "--help)"},
        {"--maker --sync-editor host:0", "tincrates: --sync-editor takes HOST or HOST:PORT "
            "such as localhost:1338, not \"host:0\" (see tincrates --help)"},
        {"--maker --sync-editor host:65536", "tincrates: --sync-editor takes HOST or HOST:PORT "
            "such as localhost:1338, not \"host:65536\" (see tincrates --help)"},
        {"--maker --sync-editor [::1", "tincrates: --sync-editor takes HOST or HOST:PORT "
            "such as localhost:1338, not \"[::1\" (see tincrates --help)"},
        // Taken: the run goes on to look for the production, which this folder lacks.
        {"--maker --sync-editor", "tincrates: there is no production to play: "},
        {"--sync-editor --maker", "tincrates: there is no production to play: "},
        {"--maker --sync-editor example.org", "tincrates: there is no production to play: "},
        {"--maker --sync-editor 127.0.0.1:65535", "tincrates: there is no production to play: "},
        {"--maker --sync-editor :1338", "tincrates: there is no production to play: "},
    };
    for (const Case& c : cases) {
        std::string command = std::string(TINCRATES_PROGRAM) + " " + c.arguments
            + " >output.txt 2>errors.txt </dev/null";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.arguments;
        std::ifstream errors("errors.txt");
        std::string text(std::istreambuf_iterator<char>(errors), {});
        EXPECT_EQ(text.substr(0, std::string(c.error).size()), c.error) << c.arguments;
    }
}

// Started where there is no production, the program says so and how to point at one, rather
// than that its first file is missing.
TEST(ProgramOptions, AFolderWithoutAProductionSaysHowToPointAtOne)
{
    ScratchDir folder;
    std::string command = std::string(TINCRATES_PROGRAM) + " >output.txt 2>errors.txt";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::ifstream errors("errors.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(errors), {}),
        "tincrates: there is no production to play: " + folder.path.string()
            + " holds neither stashpack nor data/; start tincrates in a production's folder, "
              "give that folder to scripts/play.sh (scripts/play.sh FOLDER), or install the "
              "production (see the README)\n");
}

} // namespace
} // namespace tincrates

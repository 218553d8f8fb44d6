// --help prints the program's or the command's own help text as it is, --version the
// project's version under the program's name; both end the program with exit code 0.
#include "cli/command_line.h"

#include "parse_words.h"
#include "project_version.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using testing::parseWords;

constexpr const char* programHelp = "Usage: crates COMMAND\n\n  -h, --help  show this help\n";
constexpr const char* commandHelp = "Usage: crates pack ARCHIVE\n";

struct HelpAndVersion : ::testing::Test {
    HelpAndVersion()
    {
        line.app().add_option("--size", size);
        CLI::App& pack = line.addCommand("pack", commandHelp);
        pack.add_option("ARCHIVE", archive)->required();
    }

    CommandLine line{"crates", programHelp};
    std::string size;
    std::string archive;
};

TEST_F(HelpAndVersion, HelpIsTheProgramsOwnText)
{
    for (const char* option : {"--help", "-h"}) {
        testing::ParseOutcome outcome = parseWords(line, {option});
        EXPECT_EQ(outcome.exitCode, std::optional<int>(0)) << option;
        EXPECT_EQ(outcome.out, programHelp) << option;
        EXPECT_EQ(outcome.err, "") << option;
    }
}

TEST_F(HelpAndVersion, ACommandsHelpIsItsOwnEvenWithoutItsOperands)
{
    testing::ParseOutcome outcome = parseWords(line, {"pack", "--help"});
    EXPECT_EQ(outcome.exitCode, std::optional<int>(0));
    EXPECT_EQ(outcome.out, commandHelp);
}

TEST_F(HelpAndVersion, VersionIsTheProjectsUnderTheProgramsName)
{
    for (std::vector<std::string> words :
         {std::vector<std::string>{"--version"}, {"pack", "--version"}, {"--nope", "--version"}}) {
        testing::ParseOutcome outcome = parseWords(line, words);
        EXPECT_EQ(outcome.exitCode, std::optional<int>(0));
        EXPECT_EQ(outcome.out.substr(0, outcome.out.find('\n')),
                  std::string("crates ") + projectVersion);
        EXPECT_EQ(outcome.err, "");
    }
}

} // namespace
} // namespace tincrates

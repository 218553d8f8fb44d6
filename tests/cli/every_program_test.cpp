// Every program and each of its commands answers --help and --version, and refuses an
// unknown option in the one shape all their command lines share.
#include "project_version.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>

namespace tincrates {
namespace {

struct Invocation {
    const char* program;
    const char* command; // empty for the program itself
};

struct EveryProgram : ::testing::TestWithParam<Invocation> {
    // Runs the program (and its command) with `arguments`; returns its exit code and keeps
    // what it printed in `out` and `err`.
    int run(const std::string& arguments)
    {
        std::string command = std::string(PROGRAM_DIR) + "/" + GetParam().program + " "
            + GetParam().command + " " + arguments + " >out.txt 2>err.txt </dev/null";
        int status = std::system(command.c_str());
        out = contents("out.txt");
        err = contents("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string contents(const char* name)
    {
        std::ifstream file(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    // How messages and the help name it: "stash list".
    static std::string who()
    {
        std::string command = GetParam().command;
        return GetParam().program + (command.empty() ? "" : " " + command);
    }

    testing::ScratchDir scratch; // where nothing is to be found
    std::string out;
    std::string err;
};

TEST_P(EveryProgram, AnswersHelpWithItsUsage)
{
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(out.rfind("Usage: " + who() + " ", 0), 0u) << out;
    EXPECT_EQ(err, "");
}

TEST_P(EveryProgram, AnswersVersionWithTheProjectsVersion)
{
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), std::string(GetParam().program) + " "
              + projectVersion);
    EXPECT_EQ(err, "");
}

TEST_P(EveryProgram, RefusesAnUnknownOptionInOneLine)
{
    EXPECT_EQ(run("--no-such-option"), 1);
    EXPECT_EQ(err, who() + ": unknown option --no-such-option (see " + who() + " --help)\n");
    EXPECT_EQ(out, "");
}

INSTANTIATE_TEST_SUITE_P(ProgramsAndCommands, EveryProgram,
    ::testing::Values(Invocation{"tincrates", ""}, Invocation{"capture", ""},
        Invocation{"stash", ""}, Invocation{"stash", "list"}, Invocation{"stash", "extract"},
        Invocation{"stash", "test"}, Invocation{"stash", "create"}, Invocation{"meshconv", ""},
        Invocation{"meshconv", "convert"}, Invocation{"meshconv", "info"},
        Invocation{"cratesmith", ""}, Invocation{"soundtrack_stats", ""}),
    [](const ::testing::TestParamInfo<Invocation>& info) {
        std::string name = std::string(info.param.program) + info.param.command;
        std::erase(name, '_');
        return name;
    });

} // namespace
} // namespace tincrates

// Runs CommandLine::parse on a command line given as words, keeping what it printed.
#pragma once

#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tincrates::testing {

struct ParseOutcome {
    std::optional<int> exitCode; // nothing when the program would go on
    std::string out;
    std::string err;
};

// Parses `words` (without the program's name) as the command line of `commandLine`.
inline ParseOutcome parseWords(CommandLine& commandLine, std::vector<std::string> words)
{
    words.insert(words.begin(), "program");
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    ParseOutcome outcome;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    outcome.exitCode = commandLine.parse(int(argv.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    outcome.out = ::testing::internal::GetCapturedStdout();
    outcome.err = ::testing::internal::GetCapturedStderr();
    return outcome;
}

} // namespace tincrates::testing

// `stash list`, `stash extract` and `stash test`: the reading side of the archive tool, on
// the same code path the production uses to find its data files.
#pragma once

#include "cli/command_line.h"

#include <optional>
#include <string>

namespace tincrates::stash {

// What the reading commands were given.
struct ReadArguments {
    std::string archive;
    std::optional<std::string> memberName; // extract: the one member to extract
    std::string password;                  // empty for none (an empty -p is refused)
    std::optional<std::string> output;     // extract: -o FILE or -o FOLDER
};

// Each adds its command to `commandLine`, reading into `arguments`, and returns it.
CLI::App& addListCommand(CommandLine& commandLine, ReadArguments& arguments);
CLI::App& addExtractCommand(CommandLine& commandLine, ReadArguments& arguments);
CLI::App& addTestCommand(CommandLine& commandLine, ReadArguments& arguments);

// Each runs its command and returns the process exit code: 0 on success, 1 after an error,
// which has been reported in one line on standard error.
int runList(const ReadArguments& arguments);
int runExtract(const ReadArguments& arguments);
int runTest(const ReadArguments& arguments);

} // namespace tincrates::stash

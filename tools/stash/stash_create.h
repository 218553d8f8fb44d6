// `stash create`: packs files into a RAR 2.x archive.
#pragma once

#include "cli/command_line.h"
#include "datafiles/archive_writer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tincrates::stash {

// What `stash create` was given.
struct CreateArguments {
    std::string archive;
    ArchiveSettings settings;
    std::filesystem::path baseDirectory; // -C: where the files are taken from
    std::vector<std::string> inputs;
};

// Adds `stash create` to `commandLine`, reading into `arguments`, and returns it.
CLI::App& addCreateCommand(CommandLine& commandLine, CreateArguments& arguments);

// Packs the archive. Returns the process exit code: 0 on success, 1 after an error, which has
// been reported in one line on standard error.
int runCreate(const CreateArguments& arguments);

} // namespace tincrates::stash

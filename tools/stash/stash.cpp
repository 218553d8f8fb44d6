// stash: the archive tool for makers of productions.
#include "cli/command_line.h"
#include "tools/stash/stash_create.h"
#include "tools/stash/stash_read.h"

#include <optional>

namespace {

constexpr const char* usage =
    "Usage: stash COMMAND ARGUMENTS\n"
    "\n"
    "Reads and writes RAR 2.x archives (RAR 2.0 compression and encryption).\n"
    "\n"
    "Commands:\n"
    "  list ARCHIVE                                   list the members\n"
    "  extract ARCHIVE NAME [-p PASSWORD] [-o FILE]   extract one member\n"
    "  extract ARCHIVE [-p PASSWORD] [-o FOLDER]      extract every member\n"
    "  test ARCHIVE [-p PASSWORD]                     check every member\n"
    "  create ARCHIVE [OPTION]... FILE...             pack files into a new archive\n"
    "\n"
    "stash COMMAND --help describes each command.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace tincrates::stash;
    tincrates::CommandLine commandLine("stash", usage);
    ReadArguments reading;
    CreateArguments creating;
    const CLI::App& list = addListCommand(commandLine, reading);
    const CLI::App& extract = addExtractCommand(commandLine, reading);
    const CLI::App& test = addTestCommand(commandLine, reading);
    addCreateCommand(commandLine, creating);
    if (std::optional<int> exitCode = commandLine.parse(argc, argv))
        return *exitCode;
    const CLI::App* command = commandLine.command();
    if (!command)
        return commandLine.fail("expected a command: list, extract, test or create");
    if (command == &list)
        return runList(reading);
    if (command == &extract)
        return runExtract(reading);
    if (command == &test)
        return runTest(reading);
    return runCreate(creating);
}

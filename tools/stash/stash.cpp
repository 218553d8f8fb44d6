// stash: the archive tool for makers of productions.
#include "tools/stash/stash_create.h"
#include "tools/stash/stash_read.h"

#include "project_version.h"

#include <cstdio>
#include <cstring>

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
    if (argc >= 2 && std::strcmp(argv[1], "create") == 0)
        return tincrates::stash::runCreate(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "list") == 0)
        return tincrates::stash::runList(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "extract") == 0)
        return tincrates::stash::runExtract(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "test") == 0)
        return tincrates::stash::runTest(argc - 2, argv + 2);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        tincrates::printVersion("stash");
        return 0;
    }
    if (argc >= 2)
        std::fprintf(stderr, "stash: unknown command %s (see stash --help)\n", argv[1]);
    else
        std::fputs(usage, stderr);
    return 1;
}

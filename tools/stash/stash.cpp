// stash: the archive tool for makers of productions.
#include "tools/stash/stash_create.h"
#include "tools/stash/stash_read.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* usage =
    "usage: stash COMMAND ARGUMENTS\n"
    "  list ARCHIVE                                   list the members\n"
    "  extract ARCHIVE NAME [-p PASSWORD] [-o FILE]   extract one member\n"
    "  extract ARCHIVE [-p PASSWORD] [-o FOLDER]      extract every member\n"
    "  test ARCHIVE [-p PASSWORD]                     check every member\n"
    "  create ...                                     pack files into an archive\n"
    "stash COMMAND --help describes each command.\n";

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
    if (argc >= 2)
        std::fprintf(stderr, "stash: unknown command %s (see stash --help)\n", argv[1]);
    else
        std::fputs(usage, stderr);
    return 1;
}

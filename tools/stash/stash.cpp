// stash: the archive tool for makers of productions.
#include "tools/stash/stash_create.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "create") == 0)
        return tincrates::stash::runCreate(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: stash list|extract|test|create ...\n");
    return 1;
}

// `stash create`: packs files into a RAR 2.x archive.
#include "tools/stash/stash_create.h"

#include <cstdio>

namespace tincrates::stash {

int runCreate(int, char**)
{
    std::fprintf(stderr, "stash: create is not available yet\n");
    return 1;
}

} // namespace tincrates::stash

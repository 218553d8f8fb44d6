// `stash create`: packs files into a RAR 2.x archive.
#pragma once

namespace tincrates::stash {

// Runs `stash create` with the arguments that follow the word "create" (argv[0] is the first
// of them). Returns the process exit code.
int runCreate(int argc, char** argv);

} // namespace tincrates::stash

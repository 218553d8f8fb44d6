// `stash list`, `stash extract` and `stash test`: the reading side of the archive tool, on
// the same code path the production uses to find its data files.
#pragma once

namespace tincrates::stash {

// Each runs the command with the arguments that follow its word (argv[0] is the first of
// them) and returns the process exit code: 0 on success, 1 after an error, which has been
// reported in one line on standard error.
int runList(int argc, char** argv);
int runExtract(int argc, char** argv);
int runTest(int argc, char** argv);

} // namespace tincrates::stash

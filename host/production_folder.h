// Which production a program plays: the one in the current folder, as always, or, when that
// folder holds none, the one installed with the program, found from where the program lies so
// that an installed tree works under any prefix.
#pragma once

#include <filesystem>
#include <string>

namespace tincrates {

// True when `folder` holds a production's data: the archive stashpack or a folder data/.
bool holdsProduction(const std::filesystem::path& folder);

// The path of the running program (from /proc/self/exe, symbolic links resolved), or an empty
// path when the system does not tell it.
std::filesystem::path runningProgramPath();

// Where the production is installed for the program at `programPath`: share/tincrates under
// the prefix that holds the program's bin/ (the relative path the build was configured with),
// lexically normal. Empty when `programPath` is.
std::filesystem::path installedProductionFolder(const std::filesystem::path& programPath);

// The folder to play: `current` when it holds a production; else the production installed for
// the program at `programPath`, when that holds one; else `current`, where the program finds
// nothing to play (see noProductionMessage).
std::filesystem::path chooseProductionFolder(const std::filesystem::path& current,
                                             const std::filesystem::path& programPath);

// The error of a program started where there is nothing to play, in one line: that `folder`
// holds neither stashpack nor data/, then `howToPoint` at one, in the program's own terms.
std::string noProductionMessage(const std::filesystem::path& folder, const std::string& howToPoint);

// Makes `folder` the current folder. Returns an empty text, or the reason in one line
// ("cannot use FOLDER: No such file or directory").
std::string enterFolder(const std::filesystem::path& folder);

} // namespace tincrates

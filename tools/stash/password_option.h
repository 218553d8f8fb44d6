// The password option, read alike by every stash command that takes one.
#pragma once

#include "cli/command_line.h"

#include <string>

namespace tincrates::stash {

// Adds -p PASSWORD (also written -pPASSWORD) to `command`; the password goes to `password`.
// An empty one is refused as a usage error ("empty password").
CLI::Option* addPasswordOption(CLI::App& command, std::string& password);

} // namespace tincrates::stash

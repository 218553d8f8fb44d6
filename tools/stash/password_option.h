// The password option, read alike by every stash command that takes one.
#pragma once

#include <string>

namespace tincrates::stash {

// Whether argv[i] is the password option, "-p PASSWORD" or "-pPASSWORD". When it is, the
// password goes to `password`, `i` moves to the last word the option used, and a missing or
// empty password sets `error` ("option -p needs a value", "empty password") instead.
bool readPasswordOption(int argc, char** argv, int& i, std::string& password,
                        std::string& error);

} // namespace tincrates::stash

// The password option of stash's commands.
#include "tools/stash/password_option.h"

#include <cstring>

namespace tincrates::stash {

bool readPasswordOption(int argc, char** argv, int& i, std::string& password,
                        std::string& error)
{
    const char* arg = argv[i];
    if (std::strncmp(arg, "-p", 2) != 0)
        return false;
    if (arg[2] != '\0') {
        password = arg + 2;
        return true;
    }
    if (i + 1 >= argc) {
        error = "option -p needs a value";
        return true;
    }
    password = argv[++i];
    // An empty password would read and write everything unencrypted, which is never what
    // someone who typed -p meant (more likely an unset variable).
    if (password.empty())
        error = "empty password";
    return true;
}

} // namespace tincrates::stash

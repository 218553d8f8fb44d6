// The password option of stash's commands.
#include "tools/stash/password_option.h"

#include "cli/command_line.h"

namespace tincrates::stash {

CLI::Option* addPasswordOption(CLI::App& command, std::string& password)
{
    return command.add_option_function<std::string>("-p", [&password](const std::string& value) {
        // An empty password would read and write everything unencrypted, which is never what
        // someone who typed -p meant (more likely an unset variable).
        if (value.empty())
            throw UsageError("empty password");
        password = value;
    });
}

} // namespace tincrates::stash

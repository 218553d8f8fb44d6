// What a call throws, for tests that compare an error's exact text.
#pragma once

#include <string>

namespace tincrates::testing {

// The text `action` throws, or "" when it throws nothing. Only text errors are caught, so a
// call that throws anything else still fails the test with what it threw.
inline std::string errorOf(auto&& action)
{
    try {
        action();
    } catch (const std::string& error) {
        return error;
    }
    return "";
}

} // namespace tincrates::testing

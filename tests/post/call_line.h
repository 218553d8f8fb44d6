// The line a RecordingDevice writes for a call, for building expected call lists.
#pragma once

#include <sstream>
#include <string>
#include <type_traits>

namespace tincrates::testing {

template <class... Arguments>
std::string callLine(const char* name, const Arguments&... arguments)
{
    std::ostringstream line;
    line << name;
    [[maybe_unused]] auto write = [&](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        line << ' ';
        if constexpr (std::is_enum_v<T>)
            line << static_cast<std::underlying_type_t<T>>(value);
        else
            line << value;
    };
    (write(arguments), ...);
    return line.str();
}

} // namespace tincrates::testing

#include "host/command_input.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace tincrates {

namespace {

// A line longer than this is not a command; it is cut here rather than held without end.
constexpr size_t longestLine = 4096;

} // namespace

CommandInput::CommandInput(int descriptor)
    : descriptor(descriptor)
{
}

void CommandInput::readAvailable()
{
    while (!hasEnded) {
        pollfd ready{descriptor, POLLIN, 0};
        int result = poll(&ready, 1, 0);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return;
        if (!(ready.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
            return;
        char buffer[1024];
        ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            hasEnded = true;
            return;
        }
        pending.append(buffer, size_t(count));
        if (pending.find('\n') != std::string::npos || pending.size() >= longestLine)
            return;
    }
}

std::optional<std::string> CommandInput::nextLine()
{
    if (pending.find('\n') == std::string::npos)
        readAvailable();
    size_t end = pending.find('\n');
    size_t taken = end + 1; // the line and its end
    if (end == std::string::npos) {
        if (pending.size() >= longestLine)
            end = longestLine;
        else if (hasEnded && !pending.empty())
            end = pending.size();
        else
            return std::nullopt;
        taken = end;
    }
    std::string line = pending.substr(0, end);
    pending.erase(0, taken);
    return line;
}

} // namespace tincrates

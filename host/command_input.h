// Lines of text from a file descriptor (standard input) taken without waiting, between
// frames: how a maker steers a production that has no window to take keys.
#pragma once

#include <optional>
#include <string>

namespace tincrates {

class CommandInput {
public:
    // `descriptor` is not owned and stays as it is (it is never made non-blocking, so a
    // terminal shared with the shell keeps its settings).
    explicit CommandInput(int descriptor = 0);

    // The next whole line, without its end; none when no whole line has arrived yet. After
    // the end of the input, a last line without an end is given too.
    std::optional<std::string> nextLine();

    // Whether the input has ended and every line has been taken.
    bool isAtEnd() const { return hasEnded && pending.empty(); }

private:
    // Reads what can be read now without waiting.
    void readAvailable();

    int descriptor;
    std::string pending;
    bool hasEnded = false;
};

} // namespace tincrates

// Notices when the production's data files change on disk: the archive stashpack and every
// file in the folder data/, as a maker edits and packs them.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tincrates {

class DataWatcher {
public:
    using Clock = std::chrono::steady_clock;

    // Watches `folder`/stashpack and `folder`/data/ (the current folder by default), taking
    // what is there now as seen.
    explicit DataWatcher(std::filesystem::path folder = ".");

    // The names of the files that changed, appeared or went since the last call that
    // returned any (data files by their plain name, the archive as "stashpack"), once the
    // folder has been still for `settle`: an editor or a packer writes a file in steps, and
    // a half-written one would only fail to load. Looks at the disk at most every `interval`.
    // Empty when nothing changed.
    std::vector<std::string> changes(Clock::time_point now);

    std::chrono::milliseconds interval{200};
    std::chrono::milliseconds settle{150};

private:
    struct Stamp {
        std::filesystem::file_time_type time;
        uintmax_t size;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    std::map<std::string, Stamp> look() const;

    std::filesystem::path folder;
    std::map<std::string, Stamp> seen;    // as last reported
    std::map<std::string, Stamp> pending; // as last looked at, while it settles
    Clock::time_point lastLook{};
    Clock::time_point lastMove{};
    bool isMoving = false;
};

} // namespace tincrates

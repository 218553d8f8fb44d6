// The folders a capture makes for what it writes, taken away again when it fails.
#pragma once

#include <filesystem>
#include <vector>

namespace tincrates {

// Unless kept, the folders it made go again when it is destroyed, those that are empty, so
// that a capture that fails leaves no empty folder behind; a folder that was there before, or
// that holds anything, stays.
class MadeFolders {
public:
    MadeFolders() = default;
    ~MadeFolders();
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;

    // Makes `folder` and the folders above it that are missing. Returns false after printing
    // the reason.
    bool make(const std::filesystem::path& folder);
    // Keeps every folder made: the capture has written what it was to.
    void keep() { isKept = true; }

private:
    std::vector<std::filesystem::path> made; // the deepest first
    bool isKept = false;
};

} // namespace tincrates

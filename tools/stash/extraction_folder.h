// The folder a whole archive is extracted into, and the rules that keep every member inside it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tincrates::stash {

// The parts of member name `name` ("/" or "\" between folders; empty and "." parts dropped)
// when it names a place inside the folder. Otherwise returns nothing and says why in
// `refusal`: an absolute name, a drive letter, a ".." part, or no name at all.
std::vector<std::string> safeMemberPath(const std::string& name, std::string& refusal);

// Writes members below one folder and nowhere else. Each folder on the way is opened without
// following symbolic links, so a link already in the folder cannot lead a member out of it,
// and each file is written under a temporary name and renamed into place once whole.
class ExtractionFolder {
public:
    // Opens `folder`, making it (and its parents) when missing. `archive` is the archive being
    // read, which no member may replace. Throws std::runtime_error with a one-line message.
    ExtractionFolder(const std::string& folder, const std::string& archive);
    ~ExtractionFolder();
    ExtractionFolder(const ExtractionFolder&) = delete;
    ExtractionFolder& operator=(const ExtractionFolder&) = delete;

    // Writes `content` as the file at `parts` (from safeMemberPath), making the folders on the
    // way, or only makes the folder when `isDirectory`. A file already there is replaced.
    // Returns an empty string, or why nothing was written.
    std::string write(const std::vector<std::string>& parts, std::span<const uint8_t> content,
                      bool isDirectory);

private:
    int folderDescriptor = -1;
    dev_t archiveDevice = 0;
    ino_t archiveInode = 0;
    bool isArchiveKnown = false;
};

} // namespace tincrates::stash

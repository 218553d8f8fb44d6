// The production's data folder as the generator fills it.
#pragma once

#include "tools/cratesmith/pictures/image.h"
#include "scene/mesh1_file.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates::cratesmith {

class DataFolder {
public:
    // Makes `folder` empty (creating it, or removing what an earlier run left in it), so that
    // nothing stale reaches the archive. Throws std::runtime_error when it cannot.
    explicit DataFolder(std::filesystem::path folder);

    // Each writes one file of the folder and remembers its name; a file takes its name only
    // once whole. Throw std::runtime_error (or the writers' text) when the file cannot be
    // written; a name written twice is an error.
    void writeBytes(const std::string& name, std::string_view bytes);
    void writeImage(const std::string& name, const Image& image);
    void writeMesh(const std::string& name, const MeshData& mesh);

    // Gives every file written the same fixed modification time, so that the archive, which
    // stores it, comes out byte for byte the same on every run.
    void fixTimes() const;

    const std::filesystem::path& path() const { return folder; }
    const std::vector<std::string>& names() const { return written; }

private:
    std::filesystem::path claim(const std::string& name);

    std::filesystem::path folder;
    std::vector<std::string> written;
};

} // namespace tincrates::cratesmith

// A fresh temporary folder that is the current directory for the life of the object, so
// tests and benchmarks can lay out "data/" and "stashpack" as the production expects to find
// them.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include <stdlib.h>

namespace tincrates::testing {

class ScratchDir {
public:
    ScratchDir()
        : previous(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tincrates-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder");
        path = pattern;
        std::filesystem::current_path(path);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Writes `content` to `relative` (folders are created as needed).
    void write(const std::filesystem::path& relative, std::string_view content) const
    {
        auto full = path / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream out(full, std::ios::binary);
        out.write(content.data(), std::streamsize(content.size()));
    }

    // The whole content of `relative`; empty when it cannot be read.
    std::string read(const std::filesystem::path& relative) const
    {
        std::ifstream in(path / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path path;

private:
    std::filesystem::path previous;
};

} // namespace tincrates::testing

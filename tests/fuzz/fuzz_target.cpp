// The registry of fuzz targets and their work folder.
#include "fuzz/fuzz_target.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tincrates::fuzz {

namespace fs = std::filesystem;

std::map<std::string, Target>& targets()
{
    static std::map<std::string, Target> all;
    return all;
}

bool registerTarget(const std::string& name, Target target)
{
    targets()[name] = std::move(target);
    return true;
}

void enterWorkFolder()
{
    static fs::path folder;
    if (folder.empty()) {
        // In memory where there is a tmpfs: each input is written as a file there.
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "tincrates-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("cannot make the fuzz work folder");
            std::abort();
        }
        folder = pattern;
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        });
    }
    fs::current_path(folder);
    // Only the archive targets write an archive; every other target reads its files from data/.
    std::error_code ignored;
    fs::remove(folder / "stashpack", ignored);
    fs::create_directory(folder / "data", ignored);
}

void writeWorkFile(const std::string& path, std::span<const uint8_t> content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
}

} // namespace tincrates::fuzz

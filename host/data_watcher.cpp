#include "host/data_watcher.h"

#include "datafiles/data_file.h"

#include <system_error>

namespace tincrates {

namespace fs = std::filesystem;

DataWatcher::DataWatcher(fs::path folder)
    : folder(std::move(folder))
{
    seen = look();
    pending = seen;
}

std::map<std::string, DataWatcher::Stamp> DataWatcher::look() const
{
    std::map<std::string, Stamp> stamps;
    std::error_code error;
    auto add = [&stamps](const fs::path& path, const std::string& name) {
        // A file that goes between the two questions is left for the next look.
        std::error_code timeError;
        std::error_code sizeError;
        auto time = fs::last_write_time(path, timeError);
        auto size = fs::file_size(path, sizeError);
        if (!timeError && !sizeError)
            stamps[name] = {time, size};
    };
    fs::path archive = folder / dataArchiveName;
    if (fs::is_regular_file(archive, error))
        add(archive, dataArchiveName);
    for (const auto& entry : fs::directory_iterator(folder / dataFolderName, error))
        if (entry.is_regular_file(error))
            add(entry.path(), entry.path().filename().string());
    return stamps;
}

std::vector<std::string> DataWatcher::changes(Clock::time_point now)
{
    if (now - lastLook < interval)
        return {};
    lastLook = now;
    auto stamps = look();
    if (stamps != pending) {
        pending = std::move(stamps);
        lastMove = now;
        isMoving = true;
        return {};
    }
    if (!isMoving || now - lastMove < settle)
        return {};
    isMoving = false;
    std::vector<std::string> changed;
    for (const auto& [name, stamp] : pending) {
        auto before = seen.find(name);
        if (before == seen.end() || !(before->second == stamp))
            changed.push_back(name);
    }
    for (const auto& [name, stamp] : seen)
        if (!pending.count(name))
            changed.push_back(name);
    seen = pending;
    return changed;
}

} // namespace tincrates

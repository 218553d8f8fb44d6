// Which production a program plays: the current folder's, or the one installed with it.
#include "host/production_folder.h"

#include "datafiles/data_file.h"

#include <system_error>

namespace tincrates {

namespace fs = std::filesystem;

bool holdsProduction(const fs::path& folder)
{
    // The same two places the data files are looked up in, in the same order.
    std::error_code error;
    return fs::is_regular_file(folder / dataArchiveName, error)
        || fs::is_directory(folder / dataFolderName, error);
}

fs::path runningProgramPath()
{
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : path;
}

fs::path installedProductionFolder(const fs::path& programPath)
{
    if (programPath.empty())
        return {};
    // The build passes the production's folder relative to the programs' one, such as
    // "../share/tincrates" for bin/ and share/ under one prefix.
    return (programPath.parent_path() / TINCRATES_PRODUCTION_FROM_PROGRAMS).lexically_normal();
}

fs::path chooseProductionFolder(const fs::path& current, const fs::path& programPath)
{
    if (holdsProduction(current))
        return current;
    fs::path installed = installedProductionFolder(programPath);
    if (!installed.empty() && holdsProduction(installed))
        return installed;
    return current;
}

std::string noProductionMessage(const fs::path& folder, const std::string& howToPoint)
{
    return "there is no production to play: " + folder.string()
        + " holds neither stashpack nor data/; " + howToPoint;
}

std::string enterFolder(const fs::path& folder)
{
    std::error_code error;
    fs::current_path(folder, error);
    if (error)
        return "cannot use " + folder.string() + ": " + error.message();
    return {};
}

} // namespace tincrates

// The folders a capture makes.
#include "tools/capture/made_folders.h"

#include <cstdio>
#include <system_error>
#include <unistd.h>

namespace tincrates {

namespace fs = std::filesystem;

MadeFolders::~MadeFolders()
{
    if (isKept)
        return;
    for (const fs::path& folder : made)
        ::rmdir(folder.c_str()); // only ever removes an empty folder
}

bool MadeFolders::make(const fs::path& folder)
{
    std::error_code error;
    for (fs::path missing = folder; !missing.empty() && !fs::exists(missing, error);
         missing = missing.parent_path()) {
        made.push_back(missing); // the deepest first
        if (missing == missing.parent_path())
            break;
    }
    if (!folder.empty())
        fs::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "capture: cannot make %s: %s\n", folder.c_str(),
            error.message().c_str());
        return false;
    }
    return true;
}

} // namespace tincrates

// Writing under a temporary name and renaming into place, which is atomic within a folder.
#include "datafiles/replacing_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tincrates {

namespace {

namespace fs = std::filesystem;

std::runtime_error systemError(const char* what, const std::string& path, int code)
{
    return std::runtime_error(std::string(what) + " " + path + ": " + std::strerror(code));
}

// The permissions a file made now would get: read and write for all, less the umask.
mode_t newFileMode()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The permissions a file replacing `path` gets: those it has, or those of a file made now.
mode_t modeFor(const std::string& path)
{
    struct stat existing {};
    return ::stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
}

// Renames the whole file `from` to `to`, which is atomic within a folder; on failure removes
// `from` and names `target` in the error.
void moveInto(const std::string& from, const std::string& to, const std::string& target)
{
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        int code = errno;
        ::unlink(from.c_str());
        throw systemError("cannot write", target, code);
    }
}

} // namespace

ReplacingFile::ReplacingFile(const std::string& target)
    : target(target), finalPath(target)
{
    // Writing through a link, as opening the target would, keeps the link.
    std::error_code error;
    if (fs::is_symlink(target, error)) {
        fs::path resolved = fs::canonical(target, error);
        if (!error)
            finalPath = resolved.string();
    }
    fs::path place(finalPath);
    std::string name = "." + place.filename().string() + ".XXXXXX";
    std::vector<char> pattern;
    std::string full = (place.parent_path() / name).string();
    pattern.assign(full.begin(), full.end());
    pattern.push_back('\0');
    int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0)
        throw systemError("cannot create", target, errno);
    temporaryPath = pattern.data();
    file = ::fdopen(descriptor, "wb");
    if (!file) {
        int code = errno;
        ::close(descriptor);
        ::unlink(temporaryPath.c_str());
        throw systemError("cannot create", target, code);
    }
}

ReplacingFile::~ReplacingFile()
{
    if (file) {
        std::fclose(file);
        ::unlink(temporaryPath.c_str());
    }
}

void ReplacingFile::commit()
{
    if (!file)
        return;
    bool isWritten = std::fflush(file) == 0 && ::fchmod(::fileno(file), modeFor(finalPath)) == 0;
    int code = errno;
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0 && isWritten) {
        isWritten = false;
        code = errno;
    }
    if (!isWritten) {
        ::unlink(temporaryPath.c_str());
        throw systemError("cannot write", target, code);
    }
    moveInto(temporaryPath, finalPath, target);
}

void writeWholeFile(const std::string& target, std::string_view bytes)
{
    ReplacingFile file(target);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size())
        throw systemError("cannot write", target, errno);
    file.commit();
}

void replaceWithWritten(const std::string& written, const std::string& target)
{
    if (::chmod(written.c_str(), modeFor(target)) != 0) {
        int code = errno;
        ::unlink(written.c_str());
        throw systemError("cannot write", target, code);
    }
    moveInto(written, target, target);
}

} // namespace tincrates

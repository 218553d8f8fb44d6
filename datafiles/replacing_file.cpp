// Writing under a temporary name and renaming into place, which is atomic within a folder.
#include "datafiles/replacing_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tincrates {

namespace {

namespace fs = std::filesystem;

// "WHAT PATH: reason", with the reason alone in code().
std::system_error systemError(const char* what, const std::string& path, int code)
{
    return std::system_error(code, std::generic_category(), std::string(what) + " " + path);
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

// The same for `name` in `folder` when a link there is to be replaced: a regular file passes on
// its read, write and execute bits only, so no set-user-ID bit lands on new content.
mode_t modeInFolderFor(int folder, const std::string& name)
{
    struct stat existing {};
    bool isFile = ::fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(existing.st_mode);
    return isFile ? existing.st_mode & 0777 : newFileMode();
}

// Renames the whole file `from` to `to` in `folder`, which is atomic; on failure removes `from`
// and names `target` in the error.
void moveInto(int folder, const std::string& from, const std::string& to,
              const std::string& target)
{
    if (::renameat(folder, from.c_str(), folder, to.c_str()) != 0) {
        int code = errno;
        ::unlinkat(folder, from.c_str(), 0);
        throw systemError("cannot write", target, code);
    }
}

} // namespace

ReplacingFile::ReplacingFile(const std::string& target)
    : folder(AT_FDCWD), isLinkReplaced(false), target(target), finalPath(target)
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

ReplacingFile::ReplacingFile(int folderDescriptor, const std::string& name)
    : folder(folderDescriptor), isLinkReplaced(true), target(name), finalPath(name)
{
    // openat() has no mkstemp(); random names made unique by O_EXCL do the same.
    static std::mt19937 random{std::random_device{}()};
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporaryPath = ".part-" + std::to_string(random());
        descriptor = ::openat(folder, temporaryPath.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0)
        throw systemError("cannot create", target, errno);
    file = ::fdopen(descriptor, "wb");
    if (!file) {
        int code = errno;
        ::close(descriptor);
        ::unlinkat(folder, temporaryPath.c_str(), 0);
        throw systemError("cannot create", target, code);
    }
}

ReplacingFile::~ReplacingFile()
{
    if (file) {
        std::fclose(file);
        ::unlinkat(folder, temporaryPath.c_str(), 0);
    }
}

void ReplacingFile::commit()
{
    if (!file)
        return;
    mode_t mode = isLinkReplaced ? modeInFolderFor(folder, finalPath) : modeFor(finalPath);
    bool isWritten = std::fflush(file) == 0 && ::fchmod(::fileno(file), mode) == 0;
    int code = errno;
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0 && isWritten) {
        isWritten = false;
        code = errno;
    }
    if (!isWritten) {
        ::unlinkat(folder, temporaryPath.c_str(), 0);
        throw systemError("cannot write", target, code);
    }
    moveInto(folder, temporaryPath, finalPath, target);
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
    moveInto(AT_FDCWD, written, target, target);
}

} // namespace tincrates

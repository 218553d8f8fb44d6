// Extraction into a folder with the *at() calls, relative to descriptors of folders opened
// one part at a time.
#include "tools/stash/extraction_folder.h"

#include "datafiles/replacing_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tincrates::stash {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Owner of one open descriptor.
class Descriptor {
public:
    explicit Descriptor(int value) : value(value) {}
    ~Descriptor()
    {
        if (value >= 0)
            ::close(value);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return value; }

private:
    int value;
};

// Opens (making it first when missing) the folder `name` inside `parent`, refusing a link.
int openFolderIn(int parent, const std::string& name)
{
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
        return -1;
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

std::vector<std::string> safeMemberPath(const std::string& name, std::string& refusal)
{
    refusal.clear();
    if (!name.empty() && isSeparator(name[0])) {
        refusal = "refused: an absolute name would be written outside the folder";
        return {};
    }
    // "C:" starts a path on a drive, outside the folder, wherever the archive is read.
    if (name.size() >= 2 && name[1] == ':'
        && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        refusal = "refused: a name with a drive letter would be written outside the folder";
        return {};
    }
    // A zero would end the name early for the system, after the checks below.
    if (name.find('\0') != std::string::npos) {
        refusal = "refused: a name with a zero byte";
        return {};
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        std::string part = name.substr(start, end - start);
        if (part == "..") {
            refusal = "refused: a \"..\" part would lead outside the folder";
            return {};
        }
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        start = end + 1;
    }
    if (parts.empty())
        refusal = "refused: no file name";
    return parts;
}

ExtractionFolder::ExtractionFolder(const std::string& folder, const std::string& archive)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor < 0)
        throw std::runtime_error("cannot open folder " + folder + ": " + std::strerror(errno));
    struct stat info {};
    if (::stat(archive.c_str(), &info) == 0) {
        archiveDevice = info.st_dev;
        archiveInode = info.st_ino;
        isArchiveKnown = true;
    }
}

ExtractionFolder::~ExtractionFolder()
{
    if (folderDescriptor >= 0)
        ::close(folderDescriptor);
}

std::string ExtractionFolder::write(const std::vector<std::string>& parts,
                                    std::span<const uint8_t> content, bool isDirectory)
{
    if (parts.empty())
        return "refused: no file name";
    size_t folderCount = isDirectory ? parts.size() : parts.size() - 1;
    // Each folder descriptor is kept until the next one is open.
    auto folder = std::make_unique<Descriptor>(::dup(folderDescriptor));
    for (size_t i = 0; i < folderCount; ++i) {
        int next = openFolderIn(folder->get(), parts[i]);
        if (next < 0) {
            int code = errno;
            struct stat link {};
            if (::fstatat(folder->get(), parts[i].c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISLNK(link.st_mode))
                return "refused: folder " + parts[i] + " is a symbolic link";
            return "cannot make folder " + parts[i] + ": " + std::strerror(code);
        }
        folder = std::make_unique<Descriptor>(next);
    }
    if (isDirectory)
        return {};

    const std::string& fileName = parts.back();
    struct stat existing {};
    if (isArchiveKnown && ::fstatat(folder->get(), fileName.c_str(), &existing,
                                    AT_SYMLINK_NOFOLLOW) == 0
        && existing.st_dev == archiveDevice && existing.st_ino == archiveInode)
        return "refused: it would replace the archive being read";

    // Written beside the file and renamed into place, which replaces even a link there rather
    // than writing through it.
    std::optional<ReplacingFile> file;
    try {
        file.emplace(folder->get(), fileName);
    } catch (const std::system_error& error) {
        return "cannot create a file: " + error.code().message();
    }
    try {
        if (std::fwrite(content.data(), 1, content.size(), file->stream()) != content.size())
            throw std::system_error(errno, std::generic_category());
        file->commit();
    } catch (const std::system_error& error) {
        return "cannot write: " + error.code().message();
    }
    return {};
}

} // namespace tincrates::stash

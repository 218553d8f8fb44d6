// Data files by plain name: first from the packed archive, then from the data/ folder.
#include "datafiles/data_file.h"

#include "datafiles/archive_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tincrates {

namespace {

// Room for "data/" plus a name of up to 250 characters and the terminator.
constexpr size_t pathBufferSize = 256;

// Reads a whole file of the data folder into `file`. A name that does not fit the path
// buffer is treated as absent rather than cut into some other file's name.
bool readDirectoryFile(const char* name, DataFile* file)
{
    char path[pathBufferSize];
    int length = std::snprintf(path, sizeof path, dataDirectoryFormat, name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path)
        return false;

    FILE* stream = std::fopen(path, "rb");
    if (!stream)
        return false;

    bool ok = false;
    long end = -1;
    if (std::fseek(stream, 0, SEEK_END) == 0)
        end = std::ftell(stream);
    // Folders open on Linux but have no readable content; sizes past 32 bits do not fit.
    if (end >= 0 && static_cast<unsigned long>(end) <= UINT32_MAX && std::fseek(stream, 0, SEEK_SET) == 0) {
        uint32_t size = static_cast<uint32_t>(end);
        // malloc(0) may return null; an empty file still gets a block of its own.
        auto* data = static_cast<uint8_t*>(std::malloc(size ? size : 1));
        if (data) {
            if (std::fread(data, 1, size, stream) == size && !std::ferror(stream)) {
                file->data = data;
                file->size = size;
                ok = true;
            } else {
                std::free(data);
            }
        }
    }
    std::fclose(stream);
    return ok;
}

DataLookupOrder lookupOrder = DataLookupOrder::archiveFirst;
std::function<void(const std::string&, DataFileOrigin)> dataFileObserver;

void tellObserver(const char* name, DataFileOrigin origin)
{
    if (dataFileObserver)
        dataFileObserver(name, origin);
}

} // namespace

DataLookupOrderScope::DataLookupOrderScope(DataLookupOrder order)
    : before(lookupOrder)
{
    lookupOrder = order;
}

DataLookupOrderScope::~DataLookupOrderScope() { lookupOrder = before; }

void setDataFileObserver(std::function<void(const std::string&, DataFileOrigin)> observer)
{
    dataFileObserver = std::move(observer);
}

DataFile* openDataFile(const char* name) { return openDataFile(name, nullptr); }

DataFile* openDataFile(const char* name, std::string* archiveProblem)
{
    if (archiveProblem)
        archiveProblem->clear();
    if (!name)
        return nullptr;
    auto* file = static_cast<DataFile*>(std::malloc(sizeof(DataFile)));
    if (!file)
        return nullptr;
    file->size = 0;
    file->data = nullptr;
    file->position = 0;

    if (lookupOrder == DataLookupOrder::folderFirst && readDirectoryFile(name, file)) {
        tellObserver(name, DataFileOrigin::folder);
        return file;
    }
    uint8_t* data = nullptr;
    uint64_t size = 0;
    uint64_t stoppedAt = 0;
    ArchiveError lookup =
        findArchiveMember(dataArchiveName, name, dataArchivePassword, &data, &size, &stoppedAt);
    if (lookup == ArchiveError::ok && size <= UINT32_MAX) {
        file->data = data;
        file->size = uint32_t(size);
        tellObserver(name, DataFileOrigin::archive);
    } else {
        std::free(data);
        if (lookupOrder == DataLookupOrder::folderFirst || !readDirectoryFile(name, file)) {
            std::free(file);
            tellObserver(name, DataFileOrigin::nowhere);
            // No archive, or one without the name, is plain absence; anything else is the
            // archive's own failure, which the caller's "not found" must not hide.
            if (archiveProblem && lookup != ArchiveError::cannotOpen
                && lookup != ArchiveError::noSuchMember)
                *archiveProblem = std::string(dataArchiveName) + ": "
                    + (lookup == ArchiveError::ok ? "member larger than 4 GiB"
                                                  : describeArchiveError(lookup, stoppedAt));
            return nullptr;
        }
        tellObserver(name, DataFileOrigin::folder);
    }
    file->position = 0;
    return file;
}

std::string notFoundMessage(const std::string& text, const std::string& archiveProblem)
{
    return archiveProblem.empty() ? text : text + "\n" + archiveProblem;
}

int closeDataFile(DataFile* file)
{
    if (file) {
        std::free(file->data);
        std::free(file);
    }
    return 0;
}

uint32_t readDataFile(void* destination, uint32_t itemSize, uint32_t count, DataFile* file)
{
    if (!file || !destination)
        return 0;
    auto* out = static_cast<uint8_t*>(destination);
    for (uint32_t i = 0; i < count; ++i) {
        // Compared in 64 bits so that a huge itemSize cannot wrap around.
        if (uint64_t(file->position) + itemSize > file->size)
            return i;
        if (itemSize)
            std::memcpy(out, file->data + file->position, itemSize);
        file->position += itemSize;
        out += itemSize;
    }
    return count;
}

char* readDataString(DataFile* file)
{
    if (!file)
        return nullptr;
    uint32_t start = file->position > file->size ? file->size : file->position;
    uint32_t remaining = file->size - start;
    const uint8_t* begin = file->data + start;
    const void* terminator = remaining ? std::memchr(begin, 0, remaining) : nullptr;
    uint32_t length = terminator
        ? static_cast<uint32_t>(static_cast<const uint8_t*>(terminator) - begin)
        : remaining;

    auto* copy = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (!copy)
        return nullptr;
    if (length)
        std::memcpy(copy, begin, length);
    copy[length] = '\0';
    file->position = terminator ? start + length + 1 : file->size;
    return copy;
}

} // namespace tincrates

// Finding one member of an archive, as the data files need it: the cache that keeps a solid
// archive's walk going between lookups, and the lookups built on it and on the walk.
#include "datafiles/archive_reader.h"

#include "datafiles/rar_reader_internal.h"

#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tincrates {

using namespace rar;

namespace {

// Lookups in a solid archive. Each member continues the compression state of those before
// it, so a lookup decodes every member up to the one it wants; the production's forty-odd
// lookups would decode the archive forty-odd times. The members a walk passes are kept
// instead (up to a budget), and a later lookup of one further on goes on from where the walk
// stopped. Only the program's one thread makes lookups.
class SolidArchiveCache {
public:
    // Answers the lookup, or returns false when the cache cannot serve this archive (not
    // solid, too large, or not readable as a file), and the caller walks it afresh.
    bool find(const char* archiveFileName, const char* memberName, const char* password,
              uint8_t** data, uint64_t* size, uint64_t* stoppedAt, ArchiveError& result);

private:
    // What makes a walk reusable: the same file, unchanged, read with the same password.
    struct Identity {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedSeconds = 0;
        long modifiedNanoseconds = 0;
        std::string password;
        bool operator==(const Identity&) const = default;
    };
    struct FreeBlock {
        void operator()(uint8_t* block) const { std::free(block); }
    };
    struct Member {
        std::string name;
        ArchiveError result;
        std::unique_ptr<uint8_t, FreeBlock> bytes; // when result is ok
        uint64_t size;
    };

    static constexpr uint64_t budgetBytes = uint64_t(128) << 20;

    void restart(const Identity& identity);
    bool answer(const Member& member, uint8_t** data, uint64_t* size, ArchiveError& result) const;

    Identity identity;
    bool isUsable = false;
    std::unique_ptr<ArchiveReader> reader; // positioned after the last member walked
    std::unique_ptr<Rar20Unpacker> unpacker;
    std::vector<Member> members;           // every member walked so far, in archive order
    uint64_t keptBytes = 0;
    bool isWalkOver = false;
    ArchiveError walkEnd = ArchiveError::noSuchMember; // why the walk is over
    uint64_t walkStoppedAt = 0;
};

void SolidArchiveCache::restart(const Identity& wanted)
{
    identity = wanted;
    members.clear();
    keptBytes = 0;
    unpacker.reset();
    isWalkOver = false;
    walkEnd = ArchiveError::noSuchMember;
    walkStoppedAt = 0;
    reader = std::make_unique<ArchiveReader>();
    ArchiveError opened = reader->open(identity.path.c_str());
    // Anything but a readable solid archive goes the ordinary way, which reports it.
    isUsable = opened == ArchiveError::ok && reader->isSolidArchive();
    if (!isUsable)
        reader.reset();
}

bool SolidArchiveCache::answer(const Member& member, uint8_t** data, uint64_t* size,
                               ArchiveError& result) const
{
    result = member.result;
    if (result != ArchiveError::ok)
        return true;
    auto* copy = static_cast<uint8_t*>(std::malloc(member.size ? size_t(member.size) : 1));
    if (!copy) {
        result = ArchiveError::outOfMemory;
        return true;
    }
    if (member.size)
        std::memcpy(copy, member.bytes.get(), size_t(member.size));
    *data = copy;
    *size = member.size;
    return true;
}

bool SolidArchiveCache::find(const char* archiveFileName, const char* memberName,
                             const char* password, uint8_t** data, uint64_t* size,
                             uint64_t* stoppedAt, ArchiveError& result)
{
    struct stat status{};
    if (::stat(archiveFileName, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    Identity wanted{archiveFileName, status.st_dev, status.st_ino, status.st_size,
                    int64_t(status.st_mtim.tv_sec), status.st_mtim.tv_nsec,
                    password ? password : ""};
    if (!(wanted == identity))
        restart(wanted);
    if (!isUsable)
        return false;

    for (const Member& member : members)
        if (namesMatch(memberName, member.name.c_str()))
            return answer(member, data, size, result);
    try {
        while (!isWalkOver) {
            switch (reader->readNextFileHeader()) {
            case WalkResult::fileHeader:
                break;
            case WalkResult::subBlock:
                isWalkOver = true;
                walkEnd = ArchiveError::subBlock;
                continue;
            case WalkResult::end:
                isWalkOver = true;
                continue;
            case WalkResult::damaged:
                isWalkOver = true;
                walkEnd = ArchiveError::damagedHeader;
                walkStoppedAt = reader->blockPosition;
                continue;
            }
            const ArchiveEntry& entry = reader->fileHeader;
            if (!unpacker && entry.method != METHOD_STORE)
                unpacker = std::make_unique<Rar20Unpacker>();
            OutputBlock output(entry.unpSize);
            ArchiveError memberResult =
                processMember(*reader, unpacker.get(), password, true, output);
            if (memberResult == ArchiveError::damagedHeader
                || memberResult == ArchiveError::unsupportedVersion) {
                // The walk cannot pass this member: every later lookup ends here too.
                isWalkOver = true;
                walkEnd = memberResult;
                walkStoppedAt = entry.headerPosition;
            }
            Member member{entry.name, memberResult, nullptr, 0};
            if (memberResult == ArchiveError::ok) {
                if (keptBytes + output.size > budgetBytes) {
                    // Too large to keep: this archive is walked afresh for each lookup.
                    isUsable = false;
                    members.clear();
                    reader.reset();
                    unpacker.reset();
                    return false;
                }
                member.size = output.size;
                uint8_t* block = output.release();
                // The output grows in large steps; keep only what the member needs.
                if (auto* fitted = static_cast<uint8_t*>(
                        std::realloc(block, member.size ? size_t(member.size) : 1)))
                    block = fitted;
                member.bytes.reset(block);
                keptBytes += member.size;
            }
            members.push_back(std::move(member));
            if (namesMatch(memberName, members.back().name.c_str()))
                return answer(members.back(), data, size, result);
        }
    } catch (const std::bad_alloc&) {
        restart(Identity{});
        return false;
    }
    result = walkEnd;
    if (stoppedAt && walkEnd == ArchiveError::damagedHeader)
        *stoppedAt = walkStoppedAt;
    return true;
}

SolidArchiveCache& solidArchiveCache()
{
    static SolidArchiveCache cache;
    return cache;
}

} // namespace

ArchiveError findArchiveMember(const char* archiveFileName, const char* memberName,
                               const char* password, uint8_t** data, uint64_t* size,
                               uint64_t* stoppedAt)
{
    *data = nullptr;
    *size = 0;
    if (stoppedAt)
        *stoppedAt = 0;
    if (!memberName)
        return ArchiveError::noSuchMember;
    ArchiveError cached = ArchiveError::ok;
    if (solidArchiveCache().find(archiveFileName, memberName, password, data, size, stoppedAt,
                                 cached))
        return cached;
    ArchiveError outcome = ArchiveError::noSuchMember;
    ArchiveError walked = walkArchive(
        archiveFileName, password,
        [&](const ArchiveEntry& entry) { return namesMatch(memberName, entry.name.c_str()); },
        [&](const ArchiveEntry&, ArchiveError error, OutputBlock& output) {
            outcome = error;
            if (error == ArchiveError::ok) {
                *size = output.size;
                *data = output.release();
                if (!*data) {
                    *size = 0;
                    outcome = ArchiveError::outOfMemory;
                }
            }
            return false; // the first match decides
        },
        stoppedAt);
    return walked == ArchiveError::noSuchMember ? outcome : walked;
}

ArchiveError streamArchiveMember(const char* archiveFileName, const MemberFilter& isWanted,
                                 const char* password, const MemberWriter& write,
                                 uint64_t* stoppedAt)
{
    if (stoppedAt)
        *stoppedAt = 0;
    ArchiveError outcome = ArchiveError::noSuchMember;
    ArchiveError walked = walkArchive(
        archiveFileName, password, isWanted,
        [&](const ArchiveEntry&, ArchiveError error, OutputBlock&) {
            outcome = error;
            return false; // the first match decides
        },
        stoppedAt, &write);
    return walked == ArchiveError::noSuchMember ? outcome : walked;
}

int getArchiveMember(uint8_t** data, uint32_t* size, const char* memberName,
                     const char* archiveFileName, const char* password)
{
    if (!data || !size)
        return 0;
    uint8_t* block = nullptr;
    uint64_t length = 0;
    ArchiveError result =
        findArchiveMember(archiveFileName, memberName, password, &block, &length);
    if (result != ArchiveError::ok || length > UINT32_MAX) {
        std::free(block);
        *data = nullptr;
        *size = 0;
        return 0;
    }
    *data = block;
    *size = uint32_t(length);
    return 1;
}

ArchiveError extractArchiveMember(const char* archiveFileName, const char* memberName,
                                  const char* password, std::vector<uint8_t>& content)
{
    content.clear();
    uint8_t* block = nullptr;
    uint64_t length = 0;
    ArchiveError result =
        findArchiveMember(archiveFileName, memberName, password, &block, &length);
    if (result == ArchiveError::ok)
        content.assign(block, block + length);
    std::free(block);
    return result;
}

} // namespace tincrates

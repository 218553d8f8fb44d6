// Extraction of members from a RAR 2.x archive file (RAR 2.0 compression and encryption).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tincrates {

// Finds the first member whose name matches `memberName` in the archive file
// `archiveFileName`, extracts it with `password` (null or empty for none) and checks its
// CRC-32. Returns nonzero on success: *data then receives a malloc'd block the caller frees
// (not null, also for an empty member) and *size its length. On failure returns 0 with *data
// null and *size 0.
int getArchiveMember(uint8_t** data, uint32_t* size, const char* memberName,
                     const char* archiveFileName, const char* password);

// True when the two names are equal once "/" and "\" both read as "_" and letters are taken
// in upper case (plain ASCII). Names of any length are compared whole.
bool namesMatch(const char* a, const char* b);

// Why an archive lookup failed; the production only sees success or failure, the archive
// tool shows the reason.
enum class ArchiveError {
    ok,
    cannotOpen,
    notAnArchive,
    damagedHeader,      // a block header that cannot be right
    noSuchMember,       // the blocks ended before the member was found
    subBlock,           // an old-style sub-block came before the member
    unsupportedVersion, // unpack version outside 13 to 20
    unsupportedMethod,  // compressed by RAR 1.5, which this reader cannot decode
    unsupportedCipher,  // encrypted with the RAR 1.5 cipher
    badCrc,             // the CRC-32 differs: wrong password or damaged member
    damagedData,        // the packed data ends early or decodes to too much
    outOfMemory,
    needsPassword,      // an encrypted member, read without a password, failed its check
    writeFailed,        // the receiver of a streamed member refused its bytes
};

// One line of text for `error`, without the member's name.
std::string describeArchiveError(ArchiveError error);

// The same, with the offset of the block where a walk stopped for a damagedHeader.
std::string describeArchiveError(ArchiveError error, uint64_t stoppedAt);

// One file header as stored in the archive.
struct ArchiveEntry {
    std::string name;        // the stored name bytes up to the first zero ("/" or "\" as stored)
    std::string unicodeName; // the Unicode form some names carry after it, as UTF-8; or empty
    uint64_t headerPosition = 0;
    uint16_t headCrc = 0;
    uint8_t headType = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
    uint32_t packSize = 0;
    uint32_t unpSize = 0;
    uint8_t hostOs = 0;
    uint32_t fileCrc = 0;
    uint32_t fileTime = 0;
    uint8_t unpVer = 0;
    uint8_t method = 0;
    uint16_t nameSize = 0;
    uint32_t fileAttr = 0;

    bool isEncrypted() const;
    bool isSolid() const;
    bool isDirectory() const;
};

// Reads every file header of the archive, in order, into `entries` (without extracting).
// Old-style sub-blocks are stepped over. Returns ok, or why the walk stopped early; `entries`
// then holds the headers read before that point, and *stoppedAt (when given) receives the
// file offset of the block where it stopped.
ArchiveError listArchiveMembers(const char* archiveFileName, std::vector<ArchiveEntry>& entries,
                                uint64_t* stoppedAt = nullptr);

// Called once per member a walk extracts: its header, the result, and on success the member's
// bytes (valid only during the call). Returns whether to go on with the next member.
using MemberVisitor =
    std::function<bool(const ArchiveEntry& entry, ArchiveError result, const uint8_t* data,
                       uint64_t size)>;

// Extracts every member in archive order with the production's own code, in one pass (so a
// solid archive is decoded once), and reports each to `visit`. Returns ok when the walk
// reached the archive's end, or why it stopped before.
ArchiveError extractAllMembers(const char* archiveFileName, const char* password,
                               const MemberVisitor& visit);

// The lookup of getArchiveMember, with the reason for a failure. On success *data receives a
// malloc'd block the caller frees (not null, also for an empty member) and *size its length;
// on failure both are null and 0. For damagedHeader, *stoppedAt (when given) receives the
// file offset of the block where the walk stopped.
ArchiveError findArchiveMember(const char* archiveFileName, const char* memberName,
                               const char* password, uint8_t** data, uint64_t* size,
                               uint64_t* stoppedAt = nullptr);

// Picks the member a walk extracts, from its header.
using MemberFilter = std::function<bool(const ArchiveEntry& entry)>;

// Receives a streamed member's bytes in order, a piece at a time; returns false to stop the
// extraction (which then fails with writeFailed).
using MemberWriter = std::function<bool(const uint8_t* data, size_t size)>;

// Extracts the first member, in archive order, that `isWanted` picks (it is asked once per
// file header), handing its bytes to `write` as they are decoded rather than collecting them,
// so that memory stays the same whatever the member's size. The CRC-32 can only be checked at
// the end: on a failure `write` may already have had part of the member, or garbage after a
// wrong password. A solid archive is decoded from its start each time. Returns ok,
// noSuchMember or the reason for a failure; on damagedHeader *stoppedAt (when given) receives
// the offset of the block where the walk stopped.
ArchiveError streamArchiveMember(const char* archiveFileName, const MemberFilter& isWanted,
                                 const char* password, const MemberWriter& write,
                                 uint64_t* stoppedAt = nullptr);

// Like getArchiveMember, but returns the reason for a failure; on success `content` holds the
// member.
ArchiveError extractArchiveMember(const char* archiveFileName, const char* memberName,
                                  const char* password, std::vector<uint8_t>& content);

} // namespace tincrates

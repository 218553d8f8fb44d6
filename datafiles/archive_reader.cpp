// The archive's block walker and its packed input, and listing and extracting every member;
// finding one member is in archive_lookup.cpp.
#include "datafiles/archive_reader.h"

#include "datafiles/crc32.h"
#include "datafiles/rar_reader_internal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tincrates {

using namespace rar;

namespace {

uint16_t load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t load32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool seekTo(FILE* file, uint64_t position)
{
    return position <= uint64_t(INT64_MAX) && fseeko(file, off_t(position), SEEK_SET) == 0;
}

// "/" and "\" both separate folders, and archives made on other systems differ in case.
char normalisedNameChar(char c)
{
    if (c == '/' || c == '\\')
        return '_';
    if (c >= 'a' && c <= 'z')
        return char(c - 'a' + 'A');
    return c;
}

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A Unicode name is stored after the plain name and a zero, coded against the plain name: a
// high byte shared by most characters, then two bits per character saying how it is made
// (a low byte alone, a low byte with the shared high byte, a whole 16-bit character, or a run
// taken from the plain name, optionally shifted). Damaged codes end the name early.
std::string decodeUnicodeName(const std::string& stored)
{
    size_t zero = stored.find('\0');
    if (zero == std::string::npos || zero + 1 >= stored.size())
        return {};
    auto plain = reinterpret_cast<const uint8_t*>(stored.data());
    size_t plainSize = zero;
    auto code = reinterpret_cast<const uint8_t*>(stored.data()) + zero + 1;
    size_t codeSize = stored.size() - zero - 1;

    std::u16string name;
    size_t at = 0;
    uint32_t high = uint32_t(code[at++]) << 8;
    uint8_t flags = 0;
    int flagsLeft = 0;
    while (at < codeSize) {
        if (flagsLeft == 0) {
            flags = code[at++];
            flagsLeft = 4;
            if (at >= codeSize)
                break;
        }
        unsigned mode = flags >> 6;
        flags = uint8_t(flags << 2);
        --flagsLeft;
        if (mode == 0) {
            name += char16_t(code[at++]);
        } else if (mode == 1) {
            name += char16_t(high | code[at++]);
        } else if (mode == 2) {
            if (at + 1 >= codeSize)
                break;
            name += char16_t(code[at] | code[at + 1] << 8);
            at += 2;
        } else {
            uint8_t run = code[at++];
            bool isShifted = (run & 0x80) != 0;
            uint8_t shift = 0;
            if (isShifted) {
                if (at >= codeSize)
                    break;
                shift = code[at++];
            }
            for (int n = (run & 0x7F) + 2; n > 0 && name.size() < plainSize; --n) {
                uint8_t c = plain[name.size()];
                name += isShifted ? char16_t(high | uint8_t(c + shift)) : char16_t(c);
            }
        }
    }
    std::string utf8;
    for (char16_t c : name)
        appendUtf8(utf8, c);
    return utf8;
}

// A failed check on a member written by an older program is reported as what it really is:
// a method or cipher this reader does not have, rather than a damaged member.
ArchiveError refineFailure(const ArchiveEntry& entry, const char* password, int encryptionVersion,
                           ArchiveError error)
{
    if (error != ArchiveError::badCrc && error != ArchiveError::damagedData)
        return error;
    // Read without a password, an encrypted member can only fail: say what it lacks.
    if (entry.isEncrypted() && !(password && *password))
        return ArchiveError::needsPassword;
    if (entry.unpVer < 20 && entry.method != METHOD_STORE)
        return ArchiveError::unsupportedMethod;
    if (encryptionVersion != 0 && encryptionVersion < 20)
        return ArchiveError::unsupportedCipher;
    return error;
}

// Reads a stored member in chunks. An encrypted one is read to its padded end, since the
// cipher works on whole 16-byte blocks, and only its unpacked size is kept.
ArchiveError readStoredMember(ArchiveReader& reader, OutputBlock& output)
{
    const ArchiveEntry& entry = reader.fileHeader;
    uint64_t toRead = entry.unpSize;
    if (reader.encryptionVersion >= 20)
        toRead = (toRead + 15) & ~uint64_t(15);
    // Chunks, so that a header that claims far more than the file holds costs nothing; a
    // multiple of 16, so that each chunk decrypts in whole blocks.
    constexpr size_t chunkSize = 1 << 20;
    std::unique_ptr<uint8_t[]> chunk(new (std::nothrow) uint8_t[std::min<uint64_t>(
        chunkSize, std::max<uint64_t>(toRead, 1))]);
    if (!chunk)
        return ArchiveError::outOfMemory;
    uint64_t readSoFar = 0;
    while (readSoFar < toRead) {
        size_t want = size_t(std::min<uint64_t>(chunkSize, toRead - readSoFar));
        size_t got = reader.readPacked(chunk.get(), want);
        // The padding after the member's end is not part of it.
        uint64_t left = readSoFar < entry.unpSize ? entry.unpSize - readSoFar : 0;
        size_t kept = size_t(std::min<uint64_t>(got, left));
        readSoFar += got;
        if (!output.append(chunk.get(), kept))
            return output.isWriteFailed ? ArchiveError::writeFailed : ArchiveError::outOfMemory;
        if (got < want)
            break;
    }
    if (readSoFar < entry.unpSize)
        return ArchiveError::damagedData;
    return ArchiveError::ok;
}

} // namespace

namespace rar {

// Runs one member through the reader: a wanted member into `output` with its CRC-32 checked,
// another (in a solid archive) only through the decoder, so that its successor finds the
// state it continues.
ArchiveError processMember(ArchiveReader& reader, Rar20Unpacker* unpacker, const char* password,
                           bool isWanted, OutputBlock& output)
{
    const ArchiveEntry& entry = reader.fileHeader;
    if (entry.unpVer < minUnpackVersion || entry.unpVer > maxUnpackVersion)
        return ArchiveError::unsupportedVersion;
    if (!reader.beginMember(password))
        return ArchiveError::damagedHeader;

    ArchiveError result = ArchiveError::ok;
    if (entry.method == METHOD_STORE) {
        if (!isWanted)
            return ArchiveError::ok;
        result = readStoredMember(reader, output);
    } else {
        switch (unpacker->unpackMember(reader, entry.isSolid(), entry.unpSize,
                                      isWanted ? &output : nullptr)) {
        case UnpackResult::ok:
            break;
        case UnpackResult::inputOverrun:
        case UnpackResult::outputOverrun:
            result = ArchiveError::damagedData;
            break;
        case UnpackResult::outputRefused:
            result = output.isWriteFailed ? ArchiveError::writeFailed : ArchiveError::outOfMemory;
            break;
        }
        // A member that is not wanted has no result of its own; the wanted one after it
        // fails its CRC-32 if this one left the decoder in a wrong state.
        if (!isWanted)
            return ArchiveError::ok;
    }
    if (result == ArchiveError::ok
        && (output.size != entry.unpSize || output.crc != entry.fileCrc))
        result = ArchiveError::badCrc;
    return refineFailure(entry, password, reader.encryptionVersion, result);
}

// The extraction loop: walks the archive from its start, extracts the members `isWanted`
// picks and hands each to `sink`. Returns noSuchMember when the blocks end; on damagedHeader
// *stoppedAt (when given) receives the offset of the block where the walk stopped.
ArchiveError walkArchive(const char* archiveFileName, const char* password,
                         const MemberFilter& isWanted, const MemberSink& sink,
                         uint64_t* stoppedAt, const MemberWriter* writer)
{
    try {
        ArchiveReader reader;
        if (ArchiveError opened = reader.open(archiveFileName); opened != ArchiveError::ok)
            return opened;
        auto damagedAt = [&](uint64_t position) {
            if (stoppedAt)
                *stoppedAt = position;
            return ArchiveError::damagedHeader;
        };
        // Made on the first compressed member: lookups of stored members need no window.
        std::unique_ptr<Rar20Unpacker> unpacker;
        for (;;) {
            switch (reader.readNextFileHeader()) {
            case WalkResult::fileHeader:
                break;
            case WalkResult::subBlock:
                return ArchiveError::subBlock;
            case WalkResult::end:
                return ArchiveError::noSuchMember;
            case WalkResult::damaged:
                return damagedAt(reader.blockPosition);
            }
            const ArchiveEntry& entry = reader.fileHeader;
            bool wanted = isWanted(entry);
            OutputBlock output(wanted ? entry.unpSize : 0, wanted ? writer : nullptr);
            ArchiveError result = ArchiveError::ok;
            if (reader.isSolidArchive() || wanted) {
                if (!unpacker && entry.method != METHOD_STORE)
                    unpacker = std::make_unique<Rar20Unpacker>();
                result = processMember(reader, unpacker.get(), password, wanted, output);
                if (result == ArchiveError::damagedHeader)
                    damagedAt(entry.headerPosition);
            }
            if (!wanted) {
                if (result != ArchiveError::ok)
                    return result;
                continue;
            }
            if (!sink(entry, result, output))
                return result;
        }
    } catch (const std::bad_alloc&) {
        return ArchiveError::outOfMemory;
    }
}

} // namespace rar

// ---- OutputBlock ----

bool OutputBlock::reserve(size_t count)
{
    if (size + count <= capacity)
        return true;
    // The first step takes members of ordinary size in one allocation; only untouched
    // address space is spent on the rest.
    uint64_t wanted = std::max<uint64_t>({capacity * 2, 16 << 20, size + count});
    wanted = std::min(wanted, limit);
    if (wanted > SIZE_MAX)
        return false;
    auto* grown = static_cast<uint8_t*>(std::realloc(data, size_t(wanted)));
    if (!grown)
        return false;
    data = grown;
    capacity = wanted;
    return true;
}

bool OutputBlock::append(const uint8_t* bytes, size_t count)
{
    if (count == 0)
        return true;
    if (count > limit - size)
        return false;
    if (writer) {
        if (!(*writer)(bytes, count)) {
            isWriteFailed = true;
            return false;
        }
    } else {
        if (!reserve(count))
            return false;
        std::memcpy(data + size, bytes, count);
    }
    crc = crc32(crc, bytes, count);
    size += count;
    return true;
}

uint8_t* OutputBlock::release()
{
    if (!data)
        data = static_cast<uint8_t*>(std::malloc(1));
    uint8_t* block = data;
    data = nullptr;
    size = capacity = 0;
    return block;
}

// ---- ArchiveReader ----

ArchiveError ArchiveReader::open(const char* archiveFileName)
{
    if (!archiveFileName)
        return ArchiveError::cannotOpen;
    file.reset(std::fopen(archiveFileName, "rb"));
    if (!file)
        return ArchiveError::cannotOpen;
    // Headers are small and read one by one; a larger buffer saves system calls.
    std::setvbuf(file.get(), nullptr, _IOFBF, 64 * 1024);

    uint8_t marker[7];
    if (std::fread(marker, 1, sizeof marker, file.get()) != sizeof marker)
        return ArchiveError::notAnArchive;
    if (std::memcmp(marker, markerBlock.data(), 7) != 0
        && std::memcmp(marker, alternativeMarkerBlock.data(), 7) != 0)
        return ArchiveError::notAnArchive;

    uint8_t head[mainHeaderSize];
    if (std::fread(head, 1, sizeof head, file.get()) != sizeof head)
        return ArchiveError::notAnArchive;
    mainHeader.headCrc = load16(head);
    mainHeader.headType = head[2];
    mainHeader.flags = load16(head + 3);
    mainHeader.headSize = load16(head + 5);
    // A shorter main header would put the first block inside this one.
    if (mainHeader.headSize < mainHeaderSize)
        return ArchiveError::damagedHeader;
    // The main header may hold more than its fixed part (an archive comment): skip it whole.
    nextBlockPosition = markerBlock.size() + mainHeader.headSize;
    return ArchiveError::ok;
}

WalkResult ArchiveReader::readNextFileHeader()
{
    for (;;) {
        uint64_t position = nextBlockPosition;
        blockPosition = position;
        if (!seekTo(file.get(), position))
            return WalkResult::damaged;
        // 32 bytes fit every block's common part and a file header's fixed part; the bytes
        // past a shorter header are not used. Zeroed, so a short read leaves no stale values.
        uint8_t head[fileHeaderSize] = {};
        size_t got = std::fread(head, 1, sizeof head, file.get());
        if (got == 0)
            return WalkResult::end;
        if (got < blockHeaderSize)
            return WalkResult::damaged;
        uint8_t type = head[2];
        uint16_t flags = load16(head + 3);
        uint16_t headSize = load16(head + 5);
        if (headSize < blockHeaderSize)
            return WalkResult::damaged;
        uint64_t dataSize = 0;
        if (flags & LONG_BLOCK) {
            if (got < blockHeaderSize + 4)
                return WalkResult::damaged;
            dataSize = load32(head + 7);
        }
        blockType = type;
        nextBlockPosition = position + headSize + dataSize;

        if (type == SUB_HEAD)
            return WalkResult::subBlock;
        if (type != FILE_HEAD)
            continue;

        if (got < fileHeaderSize)
            return WalkResult::damaged;
        ArchiveEntry entry;
        entry.headerPosition = position;
        entry.headCrc = load16(head);
        entry.headType = type;
        entry.flags = flags;
        entry.headSize = headSize;
        entry.packSize = load32(head + 7);
        entry.unpSize = load32(head + 11);
        entry.hostOs = head[15];
        entry.fileCrc = load32(head + 16);
        entry.fileTime = load32(head + 20);
        entry.unpVer = head[24];
        entry.method = head[25];
        entry.nameSize = load16(head + 26);
        entry.fileAttr = load32(head + 28);
        // The name lies inside the header; one that reaches past it is a damaged header.
        if (fileHeaderSize + entry.nameSize > headSize)
            return WalkResult::damaged;
        std::string name(entry.nameSize, '\0');
        if (std::fread(name.data(), 1, name.size(), file.get()) != name.size())
            return WalkResult::damaged;
        // A Unicode name follows its plain form after a zero; the plain form is the name
        // that lookups compare.
        if (flags & LHD_UNICODE)
            entry.unicodeName = decodeUnicodeName(name);
        name.resize(std::strlen(name.c_str()));
        entry.name = std::move(name);
        fileHeader = std::move(entry);
        return WalkResult::fileHeader;
    }
}

bool ArchiveReader::beginMember(const char* password)
{
    bool hasPassword = password && *password;
    encryptionVersion = hasPassword && (fileHeader.flags & LHD_PASSWORD) ? fileHeader.unpVer : 0;
    if (encryptionVersion != 0)
        cipher.setupKeys(password);
    remainingPacked = fileHeader.packSize;
    // Packed data starts after the whole header, which may hold more than the name (a file
    // comment, for one).
    return seekTo(file.get(), blockPosition + fileHeader.headSize);
}

size_t ArchiveReader::readPacked(uint8_t* destination, size_t count)
{
    size_t wanted = size_t(std::min<uint64_t>(count, remainingPacked));
    if (wanted == 0)
        return 0;
    size_t got = std::fread(destination, 1, wanted, file.get());
    remainingPacked = got < wanted ? 0 : remainingPacked - got;
    // Only whole blocks can be decrypted; a cut-short tail stays as read and fails the CRC.
    if (encryptionVersion >= 20)
        cipher.decryptBlocks(destination, got / 16);
    return got;
}

// ---- Public operations ----

bool ArchiveEntry::isEncrypted() const { return (flags & LHD_PASSWORD) != 0; }
bool ArchiveEntry::isSolid() const { return (flags & LHD_SOLID) != 0; }
bool ArchiveEntry::isDirectory() const { return (flags & LHD_DIRECTORY) == LHD_DIRECTORY; }

bool namesMatch(const char* a, const char* b)
{
    if (!a || !b)
        return false;
    for (;; ++a, ++b) {
        char x = normalisedNameChar(*a);
        if (x != normalisedNameChar(*b))
            return false;
        if (x == '\0')
            return true;
    }
}

std::string describeArchiveError(ArchiveError error)
{
    switch (error) {
    case ArchiveError::ok:
        return "OK";
    case ArchiveError::cannotOpen:
        return "cannot open the archive";
    case ArchiveError::notAnArchive:
        return "not an archive";
    case ArchiveError::damagedHeader:
        return "damaged archive: a block header is malformed or cut short";
    case ArchiveError::noSuchMember:
        return "no such member";
    case ArchiveError::subBlock:
        return "a sub-block comes before the member; members after one cannot be read";
    case ArchiveError::unsupportedVersion:
        return "unsupported unpack version (only 1.3 to 2.0 can be read)";
    case ArchiveError::unsupportedMethod:
        return "unsupported compression: written by RAR 1.5, only RAR 2.0 can be decoded";
    case ArchiveError::unsupportedCipher:
        return "unsupported encryption: RAR 1.5 cipher, only the RAR 2.0 cipher is known";
    case ArchiveError::badCrc:
        return "CRC-32 differs: wrong password or damaged member";
    case ArchiveError::damagedData:
        return "packed data does not decode to the member: wrong password or damaged member";
    case ArchiveError::needsPassword:
        return "encrypted: needs the password (-p PASSWORD)";
    case ArchiveError::outOfMemory:
        return "out of memory";
    case ArchiveError::writeFailed:
        return "cannot write the member's bytes";
    }
    return "unknown error";
}

std::string describeArchiveError(ArchiveError error, uint64_t stoppedAt)
{
    std::string text = describeArchiveError(error);
    if (error == ArchiveError::damagedHeader)
        text += " (block at offset " + std::to_string(stoppedAt) + ")";
    return text;
}

ArchiveError listArchiveMembers(const char* archiveFileName, std::vector<ArchiveEntry>& entries,
                                uint64_t* stoppedAt)
{
    entries.clear();
    ArchiveReader reader;
    if (stoppedAt)
        *stoppedAt = 0;
    if (ArchiveError opened = reader.open(archiveFileName); opened != ArchiveError::ok)
        return opened;
    for (;;) {
        switch (reader.readNextFileHeader()) {
        case WalkResult::fileHeader:
            entries.push_back(reader.fileHeader);
            break;
        case WalkResult::subBlock:
            break;
        case WalkResult::end:
            return ArchiveError::ok;
        case WalkResult::damaged:
            if (stoppedAt)
                *stoppedAt = reader.blockPosition;
            return ArchiveError::damagedHeader;
        }
    }
}

ArchiveError extractAllMembers(const char* archiveFileName, const char* password,
                               const MemberVisitor& visit)
{
    ArchiveError result = walkArchive(
        archiveFileName, password, [](const ArchiveEntry&) { return true; },
        [&](const ArchiveEntry& entry, ArchiveError error, OutputBlock& output) {
            return visit(entry, error, output.data, output.size);
        });
    return result == ArchiveError::noSuchMember ? ArchiveError::ok : result;
}

} // namespace tincrates

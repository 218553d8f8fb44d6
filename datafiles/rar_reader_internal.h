// Internal to the archive reader: shared by its block walker (archive_reader.cpp), its lookups
// (archive_lookup.cpp) and its decompressor (rar20_unpacker.cpp). Nothing outside datafiles/
// includes this header.
#pragma once

#include "datafiles/archive_reader.h"
#include "datafiles/rar20_audio_predictor.h"
#include "datafiles/rar20_cipher.h"
#include "datafiles/rar_format.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace tincrates::rar {

// ---- archive_reader.cpp: the block walker and the packed input ----

struct MainHeader {
    uint16_t headCrc = 0;
    uint8_t headType = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
};

// Result of one step of the walk over the archive's blocks.
enum class WalkResult {
    fileHeader, // a file header and its name were read
    subBlock,   // stopped at an old-style sub-block (type 0x77); a listing may go on past it
    end,        // no more blocks
    damaged,    // a header that cannot be right (too small for itself, or cut off)
};

// Where a member's bytes go: a malloc'd block that grows as output arrives, up to the member's
// unpacked size, or, with a writer, straight on to the writer. Growing on demand keeps a
// damaged header that claims gigabytes from reserving them up front. The CRC-32 of everything
// appended is kept as it arrives, while the bytes are still in the cache.
class OutputBlock {
public:
    explicit OutputBlock(uint64_t limit, const MemberWriter* writer = nullptr)
        : limit(limit), writer(writer)
    {
    }
    ~OutputBlock() { std::free(data); }
    OutputBlock(const OutputBlock&) = delete;
    OutputBlock& operator=(const OutputBlock&) = delete;

    // False when the bytes would pass the limit (nothing is then appended), memory runs out
    // or the writer refuses them (isWriteFailed).
    bool append(const uint8_t* bytes, size_t count);
    // Hands the block over (never null, also when empty); the caller frees it.
    uint8_t* release();

    uint8_t* data = nullptr; // stays null with a writer
    uint64_t size = 0;       // bytes appended
    uint64_t capacity = 0;
    uint64_t limit;
    uint32_t crc = 0; // CRC-32 of the bytes appended
    bool isWriteFailed = false;

private:
    bool reserve(size_t count);

    const MemberWriter* writer; // non-owning; null: collect the bytes in `data`
};

// The state of one walk over an archive file: its headers, the current member's packed
// input and the cipher that decrypts it.
class ArchiveReader {
public:
    // Opens the file and reads the marker and main header. Returns ok, cannotOpen,
    // notAnArchive or damagedHeader.
    ArchiveError open(const char* archiveFileName);

    // Moves to the next file header (or sub-block), skipping every other block by its size.
    WalkResult readNextFileHeader();

    // Prepares the current member's packed data for readPacked: positions the file at its
    // start, sets the remaining packed bytes and, when the member is encrypted and a password
    // is given, the cipher keys.
    bool beginMember(const char* password);

    // Reads up to `count` packed bytes of the current member into `destination`, decrypting
    // them in place when the member is encrypted with the RAR 2.0 cipher. Returns the count
    // read: fewer than asked at the member's end or where the file is cut short.
    size_t readPacked(uint8_t* destination, size_t count);

    bool isSolidArchive() const { return (mainHeader.flags & MHD_SOLID) != 0; }

    MainHeader mainHeader;
    ArchiveEntry fileHeader;
    uint8_t blockType = 0;         // type of the block the walk stopped at
    uint64_t blockPosition = 0;    // file offset of that block
    uint64_t nextBlockPosition = 0;
    uint64_t remainingPacked = 0;
    int encryptionVersion = 0;     // 0: not decrypted

private:
    struct FileCloser {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, FileCloser> file;
    Rar20Cipher cipher;
};

class Rar20Unpacker;

// Called with each member a walk extracts (its output when it was wanted); returns whether
// to go on.
using MemberSink = std::function<bool(const ArchiveEntry&, ArchiveError, OutputBlock&)>;

// Runs one member through the reader: a wanted member into `output` with its CRC-32 checked,
// another (in a solid archive) only through the decoder, so that its successor finds the
// state it continues.
ArchiveError processMember(ArchiveReader& reader, Rar20Unpacker* unpacker, const char* password,
                           bool isWanted, OutputBlock& output);

// The extraction loop: walks the archive from its start, extracts the members `isWanted`
// picks and hands each to `sink`. Returns noSuchMember when the blocks end; on damagedHeader
// *stoppedAt (when given) receives the offset of the block where the walk stopped.
ArchiveError walkArchive(const char* archiveFileName, const char* password,
                         const MemberFilter& isWanted, const MemberSink& sink,
                         uint64_t* stoppedAt = nullptr, const MemberWriter* writer = nullptr);

// ---- rar20_unpacker.cpp: the RAR 2.0 decompressor ----

// One canonical Huffman decoder. `limits` and `positions` are the format's description of
// the code; `quick` answers codes of up to quickBits bits with one look-up.
struct DecodeTable {
    static constexpr int quickBits = 10;

    uint32_t symbolCount = 0;
    std::array<uint32_t, 16> limits{};
    std::array<uint32_t, 16> positions{};
    std::array<uint16_t, literalTableSize> symbols{};
    // Symbol and code length per quickBits-bit prefix; length 0: take the slow path.
    std::array<uint16_t, 1 << quickBits> quickSymbols{};
    std::array<uint8_t, 1 << quickBits> quickLengths{};
};

// Fills `table` for `count` code lengths (0 = absent).
void buildDecodeTable(const uint8_t* lengths, DecodeTable& table, uint32_t count);

// How decoding a member ended.
enum class UnpackResult {
    ok,
    inputOverrun,  // the stream needed more bits than the member's packed data holds
    outputOverrun, // the stream produced more than the unpacked size
    outputRefused, // out of memory, or the member's writer failed
};

// The decoder state of one lookup: window, tables, match history and predictors. A solid
// member continues it from the member before.
class Rar20Unpacker {
public:
    Rar20Unpacker();

    // Decodes the current member of `reader` (whose packed input beginMember has set up).
    // Output of `unpackedSize` bytes is appended to `output` when it is not null (the wanted
    // member); otherwise it only moves the window on, as a solid successor needs.
    UnpackResult unpackMember(ArchiveReader& reader, bool isSolid, uint64_t unpackedSize,
                              OutputBlock* output);

private:
    static constexpr uint32_t inputBufferSize = 8192;

    uint32_t getbits() const;
    void addbits(uint32_t count);
    uint32_t readExtraBits(uint32_t count);
    void refill();
    uint32_t decodeSymbol(const DecodeTable& table);
    void readTables();
    uint8_t decodeAudio(int32_t delta);
    void copyMatch(uint32_t length, uint32_t distance);
    void flushWindow();
    void resetState();
    bool hasOverrunInput() const;

    ArchiveReader* reader = nullptr; // the walk being decoded; set for one member
    OutputBlock* output = nullptr;   // non-owning; null for members that are not wanted
    std::unique_ptr<uint8_t[]> window;
    bool isWindowWritten = false;
    // Eight spare bytes past the end keep a peek at the last position inside the buffer.
    std::array<uint8_t, inputBufferSize + 8> input{};
    uint32_t inputAddress = 0;
    uint32_t inputBit = 0;
    uint32_t inputTop = 0;
    // Where the member's packed data read so far ends, counted from input[0]; below 0 once
    // the decoder has moved on past all of it.
    int32_t inputEnd = 0;
    int64_t remainingOutput = 0;
    bool outputFailed = false;
    bool isOutputRefused = false;

    uint32_t unpackPosition = 0;
    uint32_t flushedPosition = 0;
    std::array<uint32_t, 4> oldDistances{};
    uint32_t oldDistancePointer = 0;
    uint32_t lastDistance = 0;
    uint32_t lastLength = 0;

    DecodeTable literalTable;
    DecodeTable distanceTable;
    DecodeTable repeatLengthTable;
    DecodeTable codeLengthTable;
    std::array<DecodeTable, 4> audioTables;
    std::array<uint8_t, maxTableSetSize> oldLengths{};

    bool audioBlock = false;
    int channels = 1;
    int currentChannel = 0;
    int32_t channelDelta = 0;
    std::array<AudioPredictor, 4> predictors;
};

} // namespace tincrates::rar

// Constants of the RAR 2.x archive format shared by the reader and the writer. Names follow
// the format's own where it has them.
#pragma once

#include <array>
#include <cstdint>

namespace tincrates::rar {

// ---- Container ----

constexpr std::array<uint8_t, 7> markerBlock{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
// A second marker some early writers used; readers treat it like the first.
constexpr std::array<uint8_t, 7> alternativeMarkerBlock{'V', 'o', 'l', 'k', 'i', 'R', '!'};

constexpr uint8_t MARK_HEAD = 0x72;
constexpr uint8_t MAIN_HEAD = 0x73;
constexpr uint8_t FILE_HEAD = 0x74;
constexpr uint8_t COMM_HEAD = 0x75;
constexpr uint8_t AV_HEAD = 0x76;
constexpr uint8_t SUB_HEAD = 0x77;
constexpr uint8_t PROTECT_HEAD = 0x78;
constexpr uint8_t ENDARC_HEAD = 0x7B;

constexpr uint16_t MHD_SOLID = 0x0008;

constexpr uint16_t LHD_PASSWORD = 0x0004;
constexpr uint16_t LHD_COMMENT = 0x0008;
constexpr uint16_t LHD_SOLID = 0x0010;
constexpr uint16_t LHD_DIRECTORY = 0x00E0; // all three window-size bits set
constexpr uint16_t LHD_UNICODE = 0x0200;   // the name holds a Unicode form after a zero
constexpr uint16_t LONG_BLOCK = 0x8000;    // a data area follows the header

constexpr uint32_t mainHeaderSize = 13;
constexpr uint32_t blockHeaderSize = 7;
constexpr uint32_t fileHeaderSize = 32; // fixed part, before the name

constexpr uint8_t METHOD_STORE = 0x30;
constexpr uint8_t HOST_MSDOS = 0;

constexpr uint8_t minUnpackVersion = 13;
constexpr uint8_t maxUnpackVersion = 20;

// ---- RAR 2.0 compression ----

constexpr uint32_t windowSize = 1u << 20;
constexpr uint32_t windowMask = windowSize - 1;

constexpr int literalTableSize = 298; // 256 literals, 256..269 specials, 270..297 lengths
constexpr int distanceTableSize = 48;
constexpr int repeatLengthTableSize = 28;
constexpr int codeLengthTableSize = 19;
constexpr int audioTableSize = 257;
constexpr int lzTableSetSize = literalTableSize + distanceTableSize + repeatLengthTableSize;
constexpr int maxTableSetSize = 4 * audioTableSize;
constexpr int maxCodeLength = 15;

constexpr int symbolRepeatLast = 256;  // repeat the last match
constexpr int symbolFirstOldDistance = 257; // 257..260: one of the four previous distances
constexpr int symbolFirstShort = 261;  // 261..268: length 2, short distance
constexpr int symbolNewTables = 269;   // a new table set follows (LZ mode)
constexpr int symbolFirstLength = 270; // 270..297: a new match
constexpr int audioSymbolNewTables = 256;

constexpr std::array<uint8_t, 28> lengthBases{0,  1,  2,  3,  4,  5,  6,  7,  8,   10,
                                              12, 14, 16, 20, 24, 28, 32, 40, 48,  56,
                                              64, 80, 96, 112, 128, 160, 192, 224};
constexpr std::array<uint8_t, 28> lengthBits{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                             2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

constexpr std::array<uint8_t, 48> distanceBits{0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,
                                               5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                                               11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16,
                                               16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
// Each base is the running sum of 2^bits of the codes before it.
constexpr std::array<uint32_t, 48> distanceBases = [] {
    std::array<uint32_t, 48> bases{};
    uint32_t base = 0;
    for (size_t i = 0; i < bases.size(); ++i) {
        bases[i] = base;
        base += 1u << distanceBits[i];
    }
    return bases;
}();
static_assert(distanceBases[47] == 983040 && distanceBases[47] + 65536 == windowSize);

constexpr std::array<uint8_t, 8> shortDistanceBases{0, 4, 8, 16, 32, 64, 128, 192};
constexpr std::array<uint8_t, 8> shortDistanceBits{2, 2, 3, 4, 5, 6, 6, 6};

} // namespace tincrates::rar

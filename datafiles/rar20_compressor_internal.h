// Internal to the RAR 2.0 compressor's sources (rar20_compressor.cpp, rar20_parser.cpp): the
// format's symbol arithmetic and the rough costs that steer the parse. Nothing outside
// datafiles/ includes this header.
#pragma once

#include "datafiles/rar_format.h"

#include <array>
#include <bit>
#include <cstdint>

namespace tincrates::rar20 {

inline constexpr uint32_t maxMatchLength = 257; // codable both as a new match and as a repeat
constexpr int distanceOffset = rar::literalTableSize;
constexpr int repeatOffset = rar::literalTableSize + rar::distanceTableSize;

// Rough costs in bits that steer the choice between matches: favouring length a little more
// than exact prices would packs smaller with a lazy parse.
constexpr int literalCostBits = 6;
constexpr int newMatchCostBits = 11;
constexpr int repeatCostBits = 8;
constexpr int repeatLastCostBits = 4;

// Symbol costs in bits assumed before any table exists, and for symbols a table leaves out.
constexpr uint8_t defaultSymbolBits = 8;
constexpr uint8_t absentSymbolBits = 15;

constexpr std::array<uint8_t, 256> lengthSymbols = [] {
    std::array<uint8_t, 256> symbols{};
    for (int value = 0, code = 0; value < 256; ++value) {
        while (code + 1 < 28 && rar::lengthBases[code + 1] <= value)
            ++code;
        symbols[value] = uint8_t(code);
    }
    return symbols;
}();

// The distance code of `value` (distance − 1): two codes per power of two, then codes of
// 65536 distances each from 2^17 on.
inline unsigned distanceSymbol(uint32_t value)
{
    if (value < 4)
        return value;
    if (value >= 0x20000)
        return 32 + (value >> 16);
    unsigned highBit = unsigned(std::bit_width(value)) - 1;
    return 2 * highBit + ((value >> (highBit - 1)) & 1);
}

inline unsigned shortDistanceSymbol(uint32_t value)
{
    unsigned code = 0;
    while (code + 1 < 8 && rar::shortDistanceBases[code + 1] <= value)
        ++code;
    return code;
}

// Length the decoder adds back for a new match at `distance`.
inline uint32_t newMatchBonus(uint32_t distance)
{
    return (distance >= 0x2000 ? 1 : 0) + (distance >= 0x40000 ? 1 : 0);
}

// Length the decoder adds back for a repeated distance.
inline uint32_t repeatBonus(uint32_t distance)
{
    return (distance >= 0x101 ? 1 : 0) + newMatchBonus(distance);
}

} // namespace tincrates::rar20

// Writing side of the RAR 2.0 bitstream: bits, canonical Huffman codes and table sets, in
// exactly the form the decoder reads. The archiver builds on it, and tests use it to write
// exact streams for the decoder's cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tincrates::rar20 {

// Collects bits most significant first, as the decoder's 16-bit peek reads them.
class BitWriter {
public:
    // Appends the low `count` bits of `value` (count 0 to 32), highest first.
    void writeBits(uint32_t value, unsigned count);

    // Bits written so far.
    uint64_t bitCount() const;

    // The bytes written so far, the last one padded with zero bits.
    std::vector<uint8_t> bytes() const;

    // Hands over the bytes (last one zero-padded) and starts empty again.
    std::vector<uint8_t> take();

private:
    std::vector<uint8_t> full; // whole bytes already out of the accumulator
    uint64_t pending = 0;      // the low `pendingCount` bits are not yet in `full`
    unsigned pendingCount = 0; // always below 32 between calls
};

// Canonical Huffman code for a set of code lengths (0 = symbol absent, at most 15), assigned
// the way the decoder assigns them: shorter codes first, equal lengths in symbol order.
class HuffmanEncoder {
public:
    HuffmanEncoder() = default;
    explicit HuffmanEncoder(std::span<const uint8_t> lengths);

    // Writes the code of `symbol`, which must have a nonzero length.
    void write(BitWriter& out, unsigned symbol) const;

    uint8_t length(unsigned symbol) const;
    uint16_t code(unsigned symbol) const;

private:
    std::vector<uint8_t> lengths;
    std::vector<uint16_t> codes;
};

// Code lengths of at most `maxLength` bits that minimise the coded size of `frequencies`
// (symbols with frequency 0 get length 0; a lone used symbol gets length 1).
std::vector<uint8_t> limitedCodeLengths(std::span<const uint32_t> frequencies,
                                        unsigned maxLength);

// One table set as the decoder's table reader expects it.
struct TableSet {
    bool isAudio = false;
    int channels = 1;          // 1 to 4, audio only
    bool keepOldLengths = false; // code lengths as differences to the previous set's
    // 374 lengths in LZ mode (literal/length, distance, repeat-length), 257 × channels in
    // audio mode.
    std::vector<uint8_t> lengths;
};

// Writes the mode bits, the 19 code-length code lengths and `set.lengths` coded as
// differences to `oldLengths` (zeros unless keepOldLengths) with the run codes 16 to 18 where
// they pay. Updates `oldLengths` (1,028 entries) to what the decoder will hold afterwards.
void writeTableSet(BitWriter& out, const TableSet& set, std::span<uint8_t, 1028> oldLengths);

// The number of bits writeTableSet would write for `set`, without writing or changing
// anything; lets a caller weigh a new table set, or keepOldLengths, against its cost.
uint64_t tableSetBits(const TableSet& set, std::span<const uint8_t, 1028> oldLengths);

} // namespace tincrates::rar20

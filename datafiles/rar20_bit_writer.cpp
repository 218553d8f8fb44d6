// Writing side of the RAR 2.0 bitstream: bits, canonical codes, length-limited Huffman code
// lengths and difference-coded table sets.
#include "datafiles/rar20_bit_writer.h"

#include "datafiles/rar_format.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace tincrates::rar20 {

// ---- BitWriter ----

void BitWriter::writeBits(uint32_t value, unsigned count)
{
    assert(count <= 32);
    if (count == 0)
        return;
    uint64_t masked = count == 32 ? value : value & ((uint32_t(1) << count) - 1);
    pending = (pending << count) | masked;
    pendingCount += count;
    // Whole words go out at once: far fewer appends than byte by byte.
    if (pendingCount >= 32) {
        pendingCount -= 32;
        auto word = uint32_t(pending >> pendingCount);
        const uint8_t bytes[4] = {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8),
                                  uint8_t(word)};
        full.insert(full.end(), bytes, bytes + 4);
        pending &= (uint64_t(1) << pendingCount) - 1;
    }
}

uint64_t BitWriter::bitCount() const
{
    return uint64_t(full.size()) * 8 + pendingCount;
}

namespace {

// Appends the `count` (below 32) bits of `pending`, the last byte padded with zero bits.
void appendPending(std::vector<uint8_t>& out, uint64_t pending, unsigned count)
{
    for (; count >= 8; count -= 8)
        out.push_back(uint8_t(pending >> (count - 8)));
    if (count > 0)
        out.push_back(uint8_t(pending << (8 - count)));
}

} // namespace

std::vector<uint8_t> BitWriter::bytes() const
{
    std::vector<uint8_t> result = full;
    appendPending(result, pending, pendingCount);
    return result;
}

std::vector<uint8_t> BitWriter::take()
{
    appendPending(full, pending, pendingCount);
    std::vector<uint8_t> result;
    result.swap(full);
    pending = 0;
    pendingCount = 0;
    return result;
}

// ---- HuffmanEncoder ----

HuffmanEncoder::HuffmanEncoder(std::span<const uint8_t> codeLengths)
    : lengths(codeLengths.begin(), codeLengths.end()), codes(codeLengths.size(), 0)
{
    // Codes of each length start where the shorter ones ended, doubled: the decoder's limits
    // are built the same way, so both sides agree on every code.
    unsigned countOfLength[16] = {};
    for (uint8_t length : lengths) {
        assert(length <= rar::maxCodeLength);
        ++countOfLength[length & 15];
    }
    countOfLength[0] = 0;
    uint32_t nextCode[16] = {};
    uint32_t code = 0;
    for (int length = 1; length <= 15; ++length) {
        code = (code + countOfLength[length - 1]) << 1;
        nextCode[length] = code;
    }
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0)
            codes[symbol] = uint16_t(nextCode[lengths[symbol]]++);
    }
}

void HuffmanEncoder::write(BitWriter& out, unsigned symbol) const
{
    assert(symbol < lengths.size() && lengths[symbol] != 0);
    out.writeBits(codes[symbol], lengths[symbol]);
}

uint8_t HuffmanEncoder::length(unsigned symbol) const
{
    return symbol < lengths.size() ? lengths[symbol] : 0;
}

uint16_t HuffmanEncoder::code(unsigned symbol) const
{
    return symbol < codes.size() ? codes[symbol] : 0;
}

// ---- limitedCodeLengths ----

namespace {

// One item of a package-merge list: a leaf (a used symbol) or a package of two items of the
// list one level down.
struct MergeItem {
    uint64_t weight;
    int symbol;     // >= 0 for a leaf
    int firstChild; // index into the list one level down, for a package
};

} // namespace

std::vector<uint8_t> limitedCodeLengths(std::span<const uint32_t> frequencies,
                                        unsigned maxLength)
{
    std::vector<uint8_t> result(frequencies.size(), 0);
    std::vector<int> used;
    for (size_t symbol = 0; symbol < frequencies.size(); ++symbol) {
        if (frequencies[symbol] != 0)
            used.push_back(int(symbol));
    }
    if (used.empty())
        return result;
    if (used.size() <= 2) {
        for (int symbol : used)
            result[symbol] = 1;
        return result;
    }
    assert(maxLength >= 1 && maxLength <= 30 && used.size() <= (size_t(1) << maxLength));

    // Package-merge: the optimal lengths under the limit are the number of times each leaf
    // appears among the 2n - 2 lightest items of the last list.
    std::stable_sort(used.begin(), used.end(),
                     [&](int a, int b) { return frequencies[a] < frequencies[b]; });
    std::vector<MergeItem> leaves;
    leaves.reserve(used.size());
    for (int symbol : used)
        leaves.push_back({frequencies[symbol], symbol, -1});

    std::vector<std::vector<MergeItem>> lists(maxLength);
    lists[0] = leaves;
    for (unsigned level = 1; level < maxLength; ++level) {
        const std::vector<MergeItem>& below = lists[level - 1];
        std::vector<MergeItem>& merged = lists[level];
        merged.reserve(leaves.size() + below.size() / 2);
        size_t leaf = 0;
        size_t pair = 0;
        while (leaf < leaves.size() || pair + 1 < below.size()) {
            bool takeLeaf = pair + 1 >= below.size()
                || (leaf < leaves.size()
                    && leaves[leaf].weight <= below[pair].weight + below[pair + 1].weight);
            if (takeLeaf) {
                merged.push_back(leaves[leaf++]);
            } else {
                merged.push_back({below[pair].weight + below[pair + 1].weight, -1, int(pair)});
                pair += 2;
            }
        }
    }

    std::vector<std::pair<unsigned, int>> stack; // (level, index)
    size_t take = 2 * used.size() - 2;
    for (size_t i = 0; i < take; ++i)
        stack.push_back({maxLength - 1, int(i)});
    while (!stack.empty()) {
        auto [level, index] = stack.back();
        stack.pop_back();
        const MergeItem& item = lists[level][index];
        if (item.symbol >= 0) {
            ++result[item.symbol];
        } else {
            stack.push_back({level - 1, item.firstChild});
            stack.push_back({level - 1, item.firstChild + 1});
        }
    }
    return result;
}

// ---- Table sets ----

namespace {

constexpr int runRepeatPrevious = 16; // 3 to 6 copies of the previous length, 2 extra bits
constexpr int runShortZeros = 17;     // 3 to 10 zeros, 3 extra bits
constexpr int runLongZeros = 18;      // 11 to 138 zeros, 7 extra bits

struct CodeLengthSymbol {
    uint8_t symbol;
    uint8_t extra; // the value of the extra bits of a run code
};

constexpr unsigned extraBitsOf(int symbol)
{
    return symbol == runRepeatPrevious ? 2 : symbol == runShortZeros ? 3
        : symbol == runLongZeros       ? 7
                                       : 0;
}

[[maybe_unused]] size_t tableSizeOf(const TableSet& set)
{
    return set.isAudio ? size_t(rar::audioTableSize) * size_t(set.channels)
                       : size_t(rar::lzTableSetSize);
}

// The code-length symbols for `lengths`: differences to `old`, runs where they pay.
std::vector<CodeLengthSymbol> codeLengthSymbols(std::span<const uint8_t> lengths,
                                                std::span<const uint8_t> old)
{
    std::vector<CodeLengthSymbol> symbols;
    size_t i = 0;
    while (i < lengths.size()) {
        uint8_t value = lengths[i];
        size_t run = 1;
        while (i + run < lengths.size() && lengths[i + run] == value)
            ++run;
        if (value == 0 && run >= 11) {
            size_t count = std::min<size_t>(run, 138);
            symbols.push_back({runLongZeros, uint8_t(count - 11)});
            i += count;
            continue;
        }
        if (value == 0 && run >= 3) {
            size_t count = std::min<size_t>(run, 10);
            symbols.push_back({runShortZeros, uint8_t(count - 3)});
            i += count;
            continue;
        }
        // A repeat copies the entry before it, so it starts after one entry of the run has
        // been written on its own (or continues a run already under way).
        if (value != 0 && i > 0 && lengths[i - 1] == value && run >= 3) {
            size_t count = std::min<size_t>(run, 6);
            symbols.push_back({runRepeatPrevious, uint8_t(count - 3)});
            i += count;
            continue;
        }
        symbols.push_back({uint8_t((value - old[i]) & 15), 0});
        ++i;
    }
    return symbols;
}

struct PlannedTableSet {
    std::vector<CodeLengthSymbol> symbols;
    std::vector<uint8_t> codeLengthLengths;
    uint64_t bits = 0;
};

PlannedTableSet planTableSet(const TableSet& set, std::span<const uint8_t, 1028> oldLengths)
{
    assert(set.lengths.size() == tableSizeOf(set));
    static const std::array<uint8_t, 1028> zeros{};
    std::span<const uint8_t> old = set.keepOldLengths ? std::span<const uint8_t>(oldLengths)
                                                      : std::span<const uint8_t>(zeros);
    PlannedTableSet plan;
    plan.symbols = codeLengthSymbols(set.lengths, old);
    std::array<uint32_t, rar::codeLengthTableSize> frequencies{};
    for (const CodeLengthSymbol& s : plan.symbols)
        ++frequencies[s.symbol];
    plan.codeLengthLengths = limitedCodeLengths(frequencies, rar::maxCodeLength);
    plan.bits = 2 + (set.isAudio ? 2 : 0) + 4 * rar::codeLengthTableSize;
    for (const CodeLengthSymbol& s : plan.symbols)
        plan.bits += plan.codeLengthLengths[s.symbol] + extraBitsOf(s.symbol);
    return plan;
}

} // namespace

void writeTableSet(BitWriter& out, const TableSet& set, std::span<uint8_t, 1028> oldLengths)
{
    PlannedTableSet plan = planTableSet(set, oldLengths);
    out.writeBits((set.isAudio ? 2u : 0u) | (set.keepOldLengths ? 1u : 0u), 2);
    if (set.isAudio)
        out.writeBits(unsigned(set.channels - 1), 2);
    for (uint8_t length : plan.codeLengthLengths)
        out.writeBits(length, 4);
    HuffmanEncoder code(plan.codeLengthLengths);
    for (const CodeLengthSymbol& s : plan.symbols) {
        code.write(out, s.symbol);
        out.writeBits(s.extra, extraBitsOf(s.symbol));
    }
    std::fill(oldLengths.begin(), oldLengths.end(), 0);
    std::copy(set.lengths.begin(), set.lengths.end(), oldLengths.begin());
}

uint64_t tableSetBits(const TableSet& set, std::span<const uint8_t, 1028> oldLengths)
{
    return planTableSet(set, oldLengths).bits;
}

} // namespace tincrates::rar20

#include "datafiles/rar20_bit_writer.h"

#include "datafiles/rar_format.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace tincrates::rar20 {
namespace {

// Reads bits back the way the decoder does: a 16-bit peek, most significant bit first.
class BitReader {
public:
    explicit BitReader(std::vector<uint8_t> bytes) : data(std::move(bytes))
    {
        data.resize(data.size() + 4);
    }
    uint32_t peek16() const
    {
        size_t at = position / 8;
        uint32_t three =
            (uint32_t(data[at]) << 16) | (uint32_t(data[at + 1]) << 8) | data[at + 2];
        return (three >> (8 - position % 8)) & 0xFFFF;
    }
    uint32_t read(unsigned count)
    {
        uint32_t value = count == 0 ? 0 : peek16() >> (16 - count);
        position += count;
        return value;
    }
    size_t position = 0;

private:
    std::vector<uint8_t> data;
};

// The decoder's canonical table: limits and positions built from the lengths alone.
struct DecodeTable {
    explicit DecodeTable(std::span<const uint8_t> lengths)
    {
        std::array<uint32_t, 16> count{};
        for (uint8_t l : lengths)
            ++count[l & 15];
        count[0] = 0;
        uint32_t n = 0;
        for (int l = 1; l <= 15; ++l) {
            n = 2 * (n + count[l]);
            limits[l] = std::min<uint32_t>(n << (15 - l), 0xFFFF);
            positions[l] = positions[l - 1] + count[l - 1];
        }
        std::array<uint32_t, 16> next = positions;
        symbols.resize(lengths.size());
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] & 15)
                symbols[next[lengths[s] & 15]++] = int(s);
        }
    }
    int decode(BitReader& in) const
    {
        uint32_t b = in.peek16() & 0xFFFE;
        int l = 1;
        while (l < 15 && b >= limits[l])
            ++l;
        in.position += l;
        uint32_t index = positions[l] + ((b - limits[l - 1]) >> (16 - l));
        return index >= symbols.size() ? symbols[0] : symbols[index];
    }
    std::array<uint32_t, 16> limits{};
    std::array<uint32_t, 16> positions{};
    std::vector<int> symbols;
};

// The decoder's table reader, returning the working array it builds.
std::vector<uint8_t> readTableSet(BitReader& in, std::array<uint8_t, 1028>& old, bool& isAudio,
                                  int& channels)
{
    uint32_t b = in.peek16();
    isAudio = (b & 0x8000) != 0;
    if (!(b & 0x4000))
        old.fill(0);
    in.position += 2;
    size_t size = rar::lzTableSetSize;
    if (isAudio) {
        channels = int(in.read(2)) + 1;
        size = size_t(rar::audioTableSize) * channels;
    }
    std::array<uint8_t, 19> codeLengths{};
    for (auto& l : codeLengths)
        l = uint8_t(in.read(4));
    DecodeTable code(codeLengths);
    std::vector<uint8_t> table(1028, 0);
    size_t i = 0;
    while (i < size) {
        int n = code.decode(in);
        if (n < 16) {
            table[i] = uint8_t((n + old[i]) & 15);
            ++i;
        } else if (n == 16) {
            uint32_t count = in.read(2) + 3;
            for (; count > 0 && i < size; --count, ++i)
                table[i] = i > 0 ? table[i - 1] : 0;
        } else {
            uint32_t count = n == 17 ? in.read(3) + 3 : in.read(7) + 11;
            for (; count > 0 && i < size; --count, ++i)
                table[i] = 0;
        }
    }
    std::copy(table.begin(), table.end(), old.begin());
    table.resize(size);
    return table;
}

double kraftSum(const std::vector<uint8_t>& lengths)
{
    double sum = 0;
    for (uint8_t l : lengths)
        sum += l ? 1.0 / double(1u << l) : 0.0;
    return sum;
}

uint64_t codedBits(const std::vector<uint8_t>& lengths, const std::vector<uint32_t>& freq)
{
    uint64_t bits = 0;
    for (size_t i = 0; i < freq.size(); ++i)
        bits += uint64_t(lengths[i]) * freq[i];
    return bits;
}

TEST(BitWriter, WritesMostSignificantBitFirstAndPadsWithZeros)
{
    BitWriter out;
    out.writeBits(0b101, 3);
    out.writeBits(0xABCD, 16);
    out.writeBits(0, 0);
    EXPECT_EQ(out.bitCount(), 19u);
    EXPECT_EQ(out.bytes(), (std::vector<uint8_t>{0b10110101, 0b01111001, 0b10100000}));
    out.writeBits(0xFFFFFFFFu, 32);
    EXPECT_EQ(out.bitCount(), 51u);
    std::vector<uint8_t> taken = out.take();
    EXPECT_EQ(taken.size(), 7u);
    EXPECT_EQ(taken[6], 0xE0);
    EXPECT_EQ(out.bitCount(), 0u);
    EXPECT_TRUE(out.bytes().empty());
}

TEST(BitWriter, IgnoresBitsAboveTheCount)
{
    BitWriter out;
    out.writeBits(0xFFFFFFF0u, 4);
    out.writeBits(0x1FFu, 4);
    EXPECT_EQ(out.bytes(), std::vector<uint8_t>{0x0F});
}

TEST(HuffmanEncoder, AssignsShorterCodesFirstThenSymbolOrder)
{
    std::vector<uint8_t> lengths{2, 1, 3, 0, 3};
    HuffmanEncoder code(lengths);
    EXPECT_EQ(code.code(1), 0b0);
    EXPECT_EQ(code.code(0), 0b10);
    EXPECT_EQ(code.code(2), 0b110);
    EXPECT_EQ(code.code(4), 0b111);
    EXPECT_EQ(code.length(3), 0);
}

TEST(HuffmanEncoder, EveryCodeDecodesToItsSymbolWithTheDecodersTable)
{
    std::vector<uint32_t> freq(298);
    std::mt19937 random(7);
    for (auto& f : freq)
        f = random() % 3 == 0 ? 0 : 1 + random() % 5000;
    std::vector<uint8_t> lengths = limitedCodeLengths(freq, 15);
    HuffmanEncoder code(lengths);
    BitWriter out;
    std::vector<int> written;
    for (int s = 0; s < 298; ++s) {
        if (lengths[s]) {
            code.write(out, unsigned(s));
            written.push_back(s);
        }
    }
    BitReader in(out.bytes());
    DecodeTable table(lengths);
    for (int s : written)
        EXPECT_EQ(table.decode(in), s);
}

TEST(LimitedCodeLengths, HandlesNoneOneAndTwoUsedSymbols)
{
    using Freq = std::vector<uint32_t>;
    using Lengths = std::vector<uint8_t>;
    EXPECT_EQ(limitedCodeLengths(Freq{0, 0, 0}, 15), (Lengths{0, 0, 0}));
    EXPECT_EQ(limitedCodeLengths(Freq{0, 9, 0}, 15), (Lengths{0, 1, 0}));
    EXPECT_EQ(limitedCodeLengths(Freq{1, 0, 900}, 15), (Lengths{1, 0, 1}));
}

TEST(LimitedCodeLengths, KeepsToTheLimitForSkewedFrequencies)
{
    // Fibonacci weights give an unlimited Huffman code as deep as there are symbols.
    std::vector<uint32_t> freq;
    uint32_t a = 1, b = 1;
    for (int i = 0; i < 30; ++i) {
        freq.push_back(a);
        uint32_t c = a + b;
        a = b;
        b = c;
    }
    std::vector<uint8_t> lengths = limitedCodeLengths(freq, 15);
    for (uint8_t l : lengths) {
        EXPECT_GE(l, 1);
        EXPECT_LE(l, 15);
    }
    EXPECT_DOUBLE_EQ(kraftSum(lengths), 1.0);
    std::vector<uint8_t> tight = limitedCodeLengths(freq, 5);
    for (uint8_t l : tight)
        EXPECT_LE(l, 5);
    EXPECT_DOUBLE_EQ(kraftSum(tight), 1.0);
}

TEST(LimitedCodeLengths, MatchesTheEntropyBoundWhenTheLimitDoesNotBind)
{
    // Powers of two: the optimal code has length exactly -log2(p).
    std::vector<uint32_t> freq{512, 256, 128, 64, 32, 16, 8, 4, 2, 1, 1};
    std::vector<uint8_t> lengths = limitedCodeLengths(freq, 15);
    EXPECT_EQ(lengths, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10}));
    EXPECT_EQ(codedBits(lengths, freq), 2046u);
}

TEST(LimitedCodeLengths, IsNeverWorseThanAnotherValidCode)
{
    std::mt19937 random(3);
    for (int round = 0; round < 20; ++round) {
        std::vector<uint32_t> freq(48);
        for (auto& f : freq)
            f = random() % 4 == 0 ? 0 : uint32_t(1 + (random() % 100000) / (1 + random() % 1000));
        std::vector<uint8_t> lengths = limitedCodeLengths(freq, 15);
        EXPECT_LE(kraftSum(lengths), 1.0);
        // A flat code of 6 bits is always valid for 48 symbols.
        std::vector<uint8_t> flat(48);
        for (size_t i = 0; i < 48; ++i)
            flat[i] = freq[i] ? 6 : 0;
        EXPECT_LE(codedBits(lengths, freq), codedBits(flat, freq));
    }
}

std::vector<uint8_t> sampleLzLengths(uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> freq(rar::lzTableSetSize);
    for (size_t i = 0; i < freq.size(); ++i)
        freq[i] = (i % 37 < 20 || random() % 4 == 0) ? 0 : 1 + random() % 3000;
    std::vector<uint8_t> lengths(rar::lzTableSetSize);
    auto lit = limitedCodeLengths(std::span(freq).subspan(0, 298), 15);
    auto dist = limitedCodeLengths(std::span(freq).subspan(298, 48), 15);
    auto rep = limitedCodeLengths(std::span(freq).subspan(346, 28), 15);
    std::copy(lit.begin(), lit.end(), lengths.begin());
    std::copy(dist.begin(), dist.end(), lengths.begin() + 298);
    std::copy(rep.begin(), rep.end(), lengths.begin() + 346);
    return lengths;
}

TEST(WriteTableSet, ReadsBackAsTheDecoderReadsItWithAndWithoutOldLengths)
{
    std::array<uint8_t, 1028> writerOld{};
    std::array<uint8_t, 1028> readerOld{};
    BitWriter out;
    std::vector<TableSet> sets;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        TableSet set;
        set.keepOldLengths = seed % 2 == 0;
        set.lengths = sampleLzLengths(seed);
        uint64_t before = out.bitCount();
        uint64_t predicted = tableSetBits(set, writerOld);
        writeTableSet(out, set, writerOld);
        EXPECT_EQ(out.bitCount() - before, predicted);
        sets.push_back(set);
    }
    BitReader in(out.bytes());
    for (const TableSet& set : sets) {
        bool isAudio = true;
        int channels = 0;
        EXPECT_EQ(readTableSet(in, readerOld, isAudio, channels), set.lengths);
        EXPECT_FALSE(isAudio);
    }
    EXPECT_EQ(readerOld, writerOld);
    EXPECT_EQ(in.position, out.bitCount());
}

TEST(WriteTableSet, WritesAudioSetsWithTheirChannelCount)
{
    std::array<uint8_t, 1028> writerOld{};
    std::array<uint8_t, 1028> readerOld{};
    writerOld.fill(5);
    readerOld.fill(5);
    BitWriter out;
    TableSet set;
    set.isAudio = true;
    set.channels = 3;
    set.keepOldLengths = true;
    set.lengths.assign(3 * 257, 0);
    for (size_t i = 0; i < set.lengths.size(); ++i)
        set.lengths[i] = i % 257 < 40 ? uint8_t(4 + i % 7) : (i % 257 > 250 ? 9 : 0);
    writeTableSet(out, set, writerOld);
    BitReader in(out.bytes());
    bool isAudio = false;
    int channels = 0;
    EXPECT_EQ(readTableSet(in, readerOld, isAudio, channels), set.lengths);
    EXPECT_TRUE(isAudio);
    EXPECT_EQ(channels, 3);
    EXPECT_EQ(readerOld, writerOld);
    EXPECT_EQ(writerOld[3 * 257], 0) << "entries past the table are cleared";
}

TEST(WriteTableSet, UsesRunsForLongStretchesOfEqualLengths)
{
    std::array<uint8_t, 1028> old{};
    TableSet set;
    set.lengths.assign(rar::lzTableSetSize, 0);
    for (int i = 0; i < 256; ++i)
        set.lengths[i] = 8;
    set.lengths[298] = 1;
    set.lengths[346] = 1;
    // With runs the 374 entries take fewer bits than one per entry, header included.
    EXPECT_LT(tableSetBits(set, old), 4u * 19 + 2 + 374);
}

} // namespace
} // namespace tincrates::rar20

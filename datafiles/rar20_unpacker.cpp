// The RAR 2.0 decompressor: LZ77 over a 1 MiB window with canonical Huffman codes, and the
// multimedia mode that codes bytes as errors of an adaptive predictor over 1 to 4 channels.
#include "datafiles/rar_reader_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tincrates::rar {

namespace {

// Input positions past which the buffer is refilled: each is far enough from the end that
// the reads that follow (one decoding step, a table header, one code-length symbol) stay
// inside the 8,192 bytes.
constexpr uint32_t refillBeforeStep = 8162;
constexpr uint32_t refillBeforeTables = 8167;
constexpr uint32_t refillBeforeCodeLength = 8187;
// The last 32 bytes move to the front on a refill; the rest is read anew.
constexpr uint32_t refillKept = 32;
constexpr uint32_t refillRead = 8160;
// A flush happens once fewer bytes than this are free in the window; no single step writes
// more than 260, so nothing that is not yet copied out gets overwritten.
constexpr uint32_t flushMargin = 270;

struct CodePosition {
    uint32_t length;
    uint32_t index; // before the out-of-range fallback
};

// The code length and symbol index of the left-justified 16 bits `bits` (lowest bit clear).
CodePosition locateCode(const DecodeTable& table, uint32_t bits)
{
    uint32_t length = 1;
    while (length < 15 && bits >= table.limits[length])
        ++length;
    uint32_t index = table.positions[length] + ((bits - table.limits[length - 1]) >> (16 - length));
    return {length, index};
}


} // namespace

void buildDecodeTable(const uint8_t* lengths, DecodeTable& table, uint32_t count)
{
    std::array<uint32_t, 16> lengthCount{};
    for (uint32_t i = 0; i < count; ++i)
        ++lengthCount[lengths[i] & 15];
    lengthCount[0] = 0;

    table.limits[0] = 0;
    table.positions[0] = 0;
    uint32_t codes = 0;
    for (uint32_t length = 1; length < 16; ++length) {
        codes = 2 * (codes + lengthCount[length]);
        uint32_t limit = codes << (15 - length);
        table.limits[length] = limit > 0xFFFF ? 0xFFFF : limit;
        table.positions[length] = table.positions[length - 1] + lengthCount[length - 1];
    }

    // Entries no symbol fills stay 0, where out-of-range codes also lead.
    table.symbols.fill(0);
    std::array<uint32_t, 16> next = table.positions;
    for (uint32_t symbol = 0; symbol < count; ++symbol)
        if (uint32_t length = lengths[symbol] & 15)
            table.symbols[next[length]++] = uint16_t(symbol);
    table.symbolCount = count;

    // A prefix answers in one look-up when every code that starts with it has the same length
    // (at most quickBits) and symbol; the search is monotonic, so checking both ends of the
    // prefix's range is enough. The rest, including malformed codes, takes the search.
    constexpr uint32_t spanBits = 16 - DecodeTable::quickBits;
    for (uint32_t prefix = 0; prefix < (1u << DecodeTable::quickBits); ++prefix) {
        uint32_t low = prefix << spanBits;
        uint32_t high = (low | ((1u << spanBits) - 1)) & ~1u;
        CodePosition first = locateCode(table, low), last = locateCode(table, high);
        if (first.length == last.length && first.index == last.index
            && first.length <= uint32_t(DecodeTable::quickBits)) {
            table.quickLengths[prefix] = uint8_t(first.length);
            table.quickSymbols[prefix] = first.index < count ? table.symbols[first.index] : 0;
        } else {
            table.quickLengths[prefix] = 0;
            table.quickSymbols[prefix] = 0;
        }
    }
}

Rar20Unpacker::Rar20Unpacker() : window(std::make_unique<uint8_t[]>(windowSize)) {}

uint32_t Rar20Unpacker::getbits() const
{
    // The 16 bits after the bit position, from one big-endian load of the four bytes there
    // (the buffer's spare bytes keep the fourth inside it).
    uint32_t word;
    std::memcpy(&word, &input[inputAddress], sizeof word);
    word = __builtin_bswap32(word); // little-endian hosts, as the rest of the reader
    return (word >> (16 - inputBit)) & 0xFFFF;
}

void Rar20Unpacker::addbits(uint32_t count)
{
    inputBit += count;
    inputAddress += inputBit >> 3;
    inputBit &= 7;
}

uint32_t Rar20Unpacker::readExtraBits(uint32_t count)
{
    if (count == 0)
        return 0;
    uint32_t value = getbits() >> (16 - count);
    addbits(count);
    return value;
}

void Rar20Unpacker::refill()
{
    std::memmove(input.data(), input.data() + refillRead, refillKept);
    inputAddress -= refillRead;
    size_t got = reader->readPacked(input.data() + refillKept, refillRead);
    inputEnd += int32_t(got) - int32_t(refillRead);
    inputTop = got ? uint32_t(got) + refillKept : inputAddress;
}

bool Rar20Unpacker::hasOverrunInput() const
{
    return int32_t(inputAddress * 8 + inputBit) > inputEnd * 8;
}

uint32_t Rar20Unpacker::decodeSymbol(const DecodeTable& table)
{
    uint32_t bits = getbits() & 0xFFFE;
    uint32_t prefix = bits >> (16 - DecodeTable::quickBits);
    if (uint32_t length = table.quickLengths[prefix]) {
        addbits(length);
        return table.quickSymbols[prefix];
    }
    CodePosition code = locateCode(table, bits);
    addbits(code.length);
    return table.symbols[code.index < table.symbolCount ? code.index : 0];
}

void Rar20Unpacker::readTables()
{
    if (inputAddress > refillBeforeTables)
        refill();
    uint32_t bits = getbits();
    audioBlock = (bits & 0x8000) != 0;
    if (!(bits & 0x4000))
        oldLengths.fill(0);
    addbits(2);

    uint32_t tableSize;
    if (audioBlock) {
        channels = int((bits >> 12) & 3) + 1;
        if (currentChannel >= channels)
            currentChannel = 0;
        addbits(2);
        tableSize = uint32_t(audioTableSize * channels);
    } else {
        tableSize = lzTableSetSize;
    }

    std::array<uint8_t, codeLengthTableSize> codeLengths;
    for (auto& length : codeLengths) {
        length = uint8_t(getbits() >> 12);
        addbits(4);
    }
    buildDecodeTable(codeLengths.data(), codeLengthTable, codeLengthTableSize);

    std::array<uint8_t, maxTableSetSize> lengths{};
    uint32_t filled = 0;
    while (filled < tableSize) {
        if (inputAddress > refillBeforeCodeLength)
            refill();
        uint32_t code = decodeSymbol(codeLengthTable);
        if (code < 16) {
            lengths[filled] = uint8_t((code + oldLengths[filled]) & 15);
            ++filled;
        } else if (code == 16) {
            uint32_t run = (getbits() >> 14) + 3;
            addbits(2);
            uint8_t previous = filled > 0 ? lengths[filled - 1] : 0;
            for (; run > 0 && filled < tableSize; --run)
                lengths[filled++] = previous;
        } else {
            uint32_t run;
            if (code == 17) {
                run = (getbits() >> 13) + 3;
                addbits(3);
            } else {
                run = (getbits() >> 9) + 11;
                addbits(7);
            }
            for (; run > 0 && filled < tableSize; --run)
                lengths[filled++] = 0;
        }
    }

    if (audioBlock) {
        for (int c = 0; c < channels; ++c)
            buildDecodeTable(&lengths[size_t(audioTableSize * c)], audioTables[size_t(c)],
                             audioTableSize);
    } else {
        buildDecodeTable(&lengths[0], literalTable, literalTableSize);
        buildDecodeTable(&lengths[literalTableSize], distanceTable, distanceTableSize);
        buildDecodeTable(&lengths[literalTableSize + distanceTableSize], repeatLengthTable,
                         repeatLengthTableSize);
    }
    oldLengths = lengths;
}

uint8_t Rar20Unpacker::decodeAudio(int32_t delta)
{
    AudioPredictor& v = predictors[size_t(currentChannel)];
    uint8_t actual = uint8_t(predictNextByte(v, channelDelta) - delta);
    learnByte(v, channelDelta, uint8_t(delta), actual);
    return actual;
}

void Rar20Unpacker::copyMatch(uint32_t length, uint32_t distance)
{
    oldDistances[oldDistancePointer++ & 3] = distance;
    lastDistance = distance;
    lastLength = length;
    remainingOutput -= length;

    uint8_t* w = window.get();
    uint32_t to = unpackPosition;
    uint32_t from = (unpackPosition - distance) & windowMask;
    if (to + length <= windowSize && from + length <= windowSize) {
        if (from >= to) {
            // Reading ahead of the writes: a forward copy is a move.
            std::memmove(w + to, w + from, length);
        } else if (to - from >= length) {
            std::memcpy(w + to, w + from, length);
        } else {
            // Overlapping from behind: each byte may be one this copy just wrote, which is
            // how a short distance repeats a pattern.
            for (uint32_t i = 0; i < length; ++i)
                w[to + i] = w[from + i];
        }
    } else {
        for (uint32_t i = 0; i < length; ++i)
            w[(to + i) & windowMask] = w[(from + i) & windowMask];
    }
    unpackPosition = (unpackPosition + length) & windowMask;
}

void Rar20Unpacker::flushWindow()
{
    uint32_t count = (unpackPosition - flushedPosition) & windowMask;
    if (output && count > 0) {
        uint32_t firstPart = std::min(count, windowSize - flushedPosition);
        if (count > output->limit - output->size) {
            // More output than the member holds: stop, and let the member fail.
            remainingOutput = -1;
            outputFailed = true;
        } else if (!output->append(window.get() + flushedPosition, firstPart)
                   || !output->append(window.get(), count - firstPart)) {
            remainingOutput = -1;
            isOutputRefused = true;
        }
    }
    flushedPosition = unpackPosition;
}

void Rar20Unpacker::resetState()
{
    currentChannel = 0;
    channelDelta = 0;
    predictors = {};
    oldDistances = {};
    oldLengths.fill(0);
    oldDistancePointer = 0;
    lastDistance = 0;
    lastLength = 0;
    unpackPosition = 0;
    flushedPosition = 0;
    // The window starts zeroed; clearing it again only matters once something was written.
    if (isWindowWritten)
        std::memset(window.get(), 0, windowSize);
    isWindowWritten = false;
}

UnpackResult Rar20Unpacker::unpackMember(ArchiveReader& source, bool isSolid,
                                         uint64_t unpackedSize, OutputBlock* destination)
{
    reader = &source;
    output = destination;
    outputFailed = false;
    isOutputRefused = false;
    inputAddress = 0;
    inputBit = 0;
    if (!isSolid)
        resetState();
    isWindowWritten = true;

    inputTop = uint32_t(reader->readPacked(input.data(), inputBufferSize));
    inputEnd = int32_t(inputTop);
    if (!isSolid)
        readTables();

    UnpackResult result = UnpackResult::ok;
    remainingOutput = int64_t(unpackedSize) - 1;
    uint8_t* w = window.get();
    while (remainingOutput >= 0) {
        unpackPosition &= windowMask;
        if (inputAddress > refillBeforeStep)
            refill();
        // A sound stream never reads past its own data; garbage would decode for ever.
        if (hasOverrunInput()) {
            result = UnpackResult::inputOverrun;
            break;
        }
        uint32_t freeSpace = (flushedPosition - unpackPosition) & windowMask;
        if (freeSpace < flushMargin && flushedPosition != unpackPosition) {
            flushWindow();
            if (remainingOutput < 0)
                break;
        }

        if (audioBlock) {
            uint32_t delta = decodeSymbol(audioTables[size_t(currentChannel)]);
            if (delta == audioSymbolNewTables) {
                readTables();
                continue;
            }
            w[unpackPosition++] = decodeAudio(int32_t(delta));
            if (++currentChannel == channels)
                currentChannel = 0;
            --remainingOutput;
            continue;
        }

        uint32_t symbol = decodeSymbol(literalTable);
        if (symbol < 256) {
            w[unpackPosition++] = uint8_t(symbol);
            --remainingOutput;
        } else if (symbol >= uint32_t(symbolFirstLength)) {
            uint32_t slot = symbol - symbolFirstLength;
            uint32_t length = lengthBases[slot] + 3 + readExtraBits(lengthBits[slot]);
            uint32_t code = decodeSymbol(distanceTable);
            uint32_t distance = distanceBases[code] + 1 + readExtraBits(distanceBits[code]);
            // Far matches are worth coding only when longer, so their lengths start higher.
            if (distance >= 0x2000) {
                ++length;
                if (distance >= 0x40000)
                    ++length;
            }
            copyMatch(length, distance);
        } else if (symbol == uint32_t(symbolNewTables)) {
            readTables();
        } else if (symbol == uint32_t(symbolRepeatLast)) {
            copyMatch(lastLength, lastDistance);
        } else if (symbol < uint32_t(symbolFirstShort)) {
            uint32_t distance = oldDistances[(oldDistancePointer - (symbol - 256)) & 3];
            uint32_t slot = decodeSymbol(repeatLengthTable);
            uint32_t length = lengthBases[slot] + 2 + readExtraBits(lengthBits[slot]);
            if (distance >= 0x101) {
                ++length;
                if (distance >= 0x2000) {
                    ++length;
                    if (distance >= 0x40000)
                        ++length;
                }
            }
            copyMatch(length, distance);
        } else {
            uint32_t slot = symbol - symbolFirstShort;
            uint32_t distance =
                shortDistanceBases[slot] + 1 + readExtraBits(shortDistanceBits[slot]);
            copyMatch(2, distance);
        }
    }

    if (result == UnpackResult::ok && !outputFailed && !isOutputRefused
        && inputTop >= inputAddress + 5) {
        // The tables that follow the member belong to its solid successor.
        if (audioBlock) {
            if (decodeSymbol(audioTables[size_t(currentChannel)]) == audioSymbolNewTables)
                readTables();
        } else if (decodeSymbol(literalTable) == uint32_t(symbolNewTables)) {
            readTables();
        }
    }
    flushWindow();
    output = nullptr;
    reader = nullptr;
    if (result != UnpackResult::ok)
        return result;
    if (isOutputRefused)
        return UnpackResult::outputRefused;
    if (outputFailed)
        return UnpackResult::outputOverrun;
    return UnpackResult::ok;
}

} // namespace tincrates::rar

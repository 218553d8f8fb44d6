// Writes exact RAR 2.0 packed streams symbol by symbol for the decoder's tests, on the
// archiver's bit writer, and keeps the content a correct decoder must produce.
#pragma once

#include "datafiles/rar20_bit_writer.h"
#include "datafiles/rar_format.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tincrates::testing {

class Rar20StreamWriter {
public:
    // Code lengths that give every symbol of a table of `count` symbols a code; `favoured`
    // symbols (if any) get shorter codes than the rest, so two sets differ.
    static std::vector<uint8_t> everySymbolLengths(size_t count,
                                                   std::vector<unsigned> favoured = {})
    {
        std::vector<uint32_t> frequencies(count, 1);
        for (unsigned symbol : favoured)
            frequencies[symbol] = 1000;
        return rar20::limitedCodeLengths(frequencies, rar::maxCodeLength);
    }

    // 374 LZ lengths in which every literal, length, distance and repeat-length has a code.
    static std::vector<uint8_t> fullLzLengths(std::vector<unsigned> favouredLiterals = {})
    {
        std::vector<uint8_t> lengths = everySymbolLengths(rar::literalTableSize, favouredLiterals);
        auto distances = everySymbolLengths(rar::distanceTableSize);
        auto repeats = everySymbolLengths(rar::repeatLengthTableSize);
        lengths.insert(lengths.end(), distances.begin(), distances.end());
        lengths.insert(lengths.end(), repeats.begin(), repeats.end());
        return lengths;
    }

    // A table set in LZ mode (from `lengths`, 374 entries).
    void lzTables(std::vector<uint8_t> lengths = fullLzLengths(), bool keepOldLengths = false)
    {
        rar20::TableSet set;
        set.isAudio = false;
        set.keepOldLengths = keepOldLengths;
        set.lengths = lengths;
        rar20::writeTableSet(bits, set, oldLengths);
        std::span<const uint8_t> all(lengths);
        literal = rar20::HuffmanEncoder(all.subspan(0, rar::literalTableSize));
        distance =
            rar20::HuffmanEncoder(all.subspan(rar::literalTableSize, rar::distanceTableSize));
        repeatLength = rar20::HuffmanEncoder(all.subspan(
            rar::literalTableSize + rar::distanceTableSize, rar::repeatLengthTableSize));
        isAudio = false;
    }

    // A table set in audio mode with every delta coded in each of `channelCount` channels.
    void audioTables(int channelCount, bool keepOldLengths = false)
    {
        rar20::TableSet set;
        set.isAudio = true;
        set.channels = channelCount;
        set.keepOldLengths = keepOldLengths;
        for (int c = 0; c < channelCount; ++c) {
            auto lengths = everySymbolLengths(rar::audioTableSize);
            set.lengths.insert(set.lengths.end(), lengths.begin(), lengths.end());
            audio[size_t(c)] = rar20::HuffmanEncoder(lengths);
        }
        rar20::writeTableSet(bits, set, oldLengths);
        channels = channelCount;
        if (channel >= channels)
            channel = 0;
        isAudio = true;
    }

    // Switches tables in the middle of the stream (symbol 269 in LZ mode, 256 in audio mode).
    void switchToLz(std::vector<uint8_t> lengths = fullLzLengths(), bool keepOldLengths = false)
    {
        writeSwitch();
        lzTables(std::move(lengths), keepOldLengths);
    }
    void switchToAudio(int channelCount)
    {
        writeSwitch();
        audioTables(channelCount);
    }

    void literalByte(uint8_t byte)
    {
        assert(!isAudio);
        literal.write(bits, byte);
        expected.push_back(byte);
    }

    void literals(std::string_view text)
    {
        for (char c : text)
            literalByte(uint8_t(c));
    }

    // A new match (symbols 270 to 297); far distances lengthen the coded length.
    void match(uint32_t length, uint32_t matchDistance)
    {
        uint32_t coded = length - 3 - (matchDistance >= 0x2000) - (matchDistance >= 0x40000);
        int lengthSlot = slotOf(rar::lengthBases, coded);
        literal.write(bits, unsigned(rar::symbolFirstLength + lengthSlot));
        bits.writeBits(coded - rar::lengthBases[size_t(lengthSlot)],
                       rar::lengthBits[size_t(lengthSlot)]);
        int distanceSlot = slotOf(rar::distanceBases, matchDistance - 1);
        distance.write(bits, unsigned(distanceSlot));
        bits.writeBits(matchDistance - 1 - rar::distanceBases[size_t(distanceSlot)],
                       rar::distanceBits[size_t(distanceSlot)]);
        copy(length, matchDistance);
    }

    // Symbol 256: the last match again.
    void repeatLast()
    {
        literal.write(bits, unsigned(rar::symbolRepeatLast));
        copy(lastLength, lastDistance);
    }

    // Symbols 257 to 260: the distance `back` (1 to 4) matches ago, with a new length.
    void oldDistance(unsigned back, uint32_t length)
    {
        uint32_t matchDistance = history[(historyPointer - back) & 3];
        uint32_t coded = length - 2 - (matchDistance >= 0x101) - (matchDistance >= 0x2000)
            - (matchDistance >= 0x40000);
        literal.write(bits, unsigned(rar::symbolRepeatLast + back));
        int slot = slotOf(rar::lengthBases, coded);
        repeatLength.write(bits, unsigned(slot));
        bits.writeBits(coded - rar::lengthBases[size_t(slot)], rar::lengthBits[size_t(slot)]);
        copy(length, matchDistance);
    }

    // Symbols 261 to 268: two bytes from a distance of 1 to 256.
    void shortMatch(uint32_t matchDistance)
    {
        int slot = slotOf(rar::shortDistanceBases, matchDistance - 1);
        literal.write(bits, unsigned(rar::symbolFirstShort + slot));
        bits.writeBits(matchDistance - 1 - rar::shortDistanceBases[size_t(slot)],
                       rar::shortDistanceBits[size_t(slot)]);
        copy(2, matchDistance);
    }

    // One audio delta symbol for the current channel; the caller knows the byte it makes.
    void audioDelta(uint8_t delta, uint8_t expectedByte)
    {
        assert(isAudio);
        audio[size_t(channel)].write(bits, delta);
        expected.push_back(expectedByte);
        channel = (channel + 1) % channels;
    }

    // The stream so far, its last byte padded with zero bits.
    std::vector<uint8_t> finish() { return bits.take(); }

    rar20::BitWriter bits;
    std::array<uint8_t, 1028> oldLengths{};
    std::vector<uint8_t> expected; // what the decoder must produce

private:
    template <size_t N, typename T>
    static int slotOf(const std::array<T, N>& bases, uint32_t value)
    {
        int slot = 0;
        for (size_t i = 0; i < N; ++i)
            if (bases[i] <= value)
                slot = int(i);
        return slot;
    }

    void writeSwitch()
    {
        if (isAudio)
            audio[size_t(channel)].write(bits, unsigned(rar::audioSymbolNewTables));
        else
            literal.write(bits, unsigned(rar::symbolNewTables));
    }

    void copy(uint32_t length, uint32_t matchDistance)
    {
        history[historyPointer++ & 3] = matchDistance;
        lastLength = length;
        lastDistance = matchDistance;
        for (uint32_t i = 0; i < length; ++i)
            expected.push_back(expected[expected.size() - matchDistance]);
    }

    rar20::HuffmanEncoder literal, distance, repeatLength;
    std::array<rar20::HuffmanEncoder, 4> audio;
    bool isAudio = false;
    int channels = 1;
    int channel = 0;
    std::array<uint32_t, 4> history{};
    uint32_t historyPointer = 0;
    uint32_t lastLength = 0;
    uint32_t lastDistance = 0;
};

} // namespace tincrates::testing

// RAR 2.0 compression: members cut into segments that each get the cheapest coding (the
// tables in force, a new LZ table set, or the multimedia mode); the parse that chooses each
// segment's tokens is in rar20_parser.cpp.
#include "datafiles/rar20_compressor.h"

#include "datafiles/rar20_compressor_internal.h"
#include "datafiles/rar20_match_finder.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <memory>

namespace tincrates::rar20 {

namespace {

constexpr size_t segmentSize = 64 * 1024;
constexpr uint32_t maxDistance = rar::windowSize - 1;
constexpr size_t minimumPackedSize = 4;
constexpr size_t trailingZeroBytes = 4;
// For sound: the quickest search, which also strides over stretches without matches.
constexpr CompressionLevel soundEffort{false, 4, 24, 8, true, false, false, true, 0};

uint64_t codedBits(std::span<const uint32_t> frequencies, std::span<const uint8_t> lengths)
{
    uint64_t bits = 0;
    for (size_t i = 0; i < frequencies.size(); ++i)
        bits += uint64_t(frequencies[i]) * lengths[i];
    return bits;
}

// Whether every symbol that occurs has a code.
bool allCoded(std::span<const uint32_t> frequencies, std::span<const uint8_t> lengths)
{
    for (size_t i = 0; i < frequencies.size(); ++i) {
        if (frequencies[i] != 0 && lengths[i] == 0)
            return false;
    }
    return true;
}

void appendLengths(std::vector<uint8_t>& lengths, std::span<const uint32_t> frequencies)
{
    std::vector<uint8_t> part = limitedCodeLengths(frequencies, rar::maxCodeLength);
    lengths.insert(lengths.end(), part.begin(), part.end());
}

// Code lengths for an LZ table set. Every set keeps a code for the switch symbol, so a later
// segment or member can leave it, and for a literal, which ends a member harmlessly.
std::vector<uint8_t> lzLengths(const std::array<uint32_t, rar::lzTableSetSize>& frequencies)
{
    std::array<uint32_t, rar::lzTableSetSize> wanted = frequencies;
    wanted[rar::symbolNewTables] = std::max(wanted[rar::symbolNewTables], 1u);
    if (std::all_of(wanted.begin(), wanted.begin() + 256, [](uint32_t f) { return f == 0; }))
        wanted[0] = 1;
    std::vector<uint8_t> lengths;
    appendLengths(lengths, std::span(wanted).subspan(0, rar::literalTableSize));
    appendLengths(lengths, std::span(wanted).subspan(distanceOffset, rar::distanceTableSize));
    appendLengths(lengths, std::span(wanted).subspan(repeatOffset, rar::repeatLengthTableSize));
    return lengths;
}

// The channel count whose multimedia coding of `sample` promises the fewest bits, judged by
// the order-0 entropy of the prediction errors, and those bits per byte.
constexpr size_t quickSoundSample = 1024;
constexpr double plainlyNotSoundBits = 6.5;

struct SoundEstimate {
    int channels = 1;
    double bitsPerByte = 8.0;
};

SoundEstimate estimateSound(const AudioEncoder& state, std::span<const uint8_t> sample)
{
    SoundEstimate best;
    if (sample.size() < 256)
        return best;
    struct Trial {
        AudioEncoder encoder;
        std::array<std::array<uint32_t, 256>, 4> counts{};
    };
    std::array<Trial, 4> trials;
    for (int channelCount = 1; channelCount <= 4; ++channelCount) {
        trials[size_t(channelCount - 1)].encoder = state;
        trials[size_t(channelCount - 1)].encoder.startBlock(channelCount);
    }
    auto run = [&](size_t from, size_t to) {
        for (Trial& trial : trials) {
            for (size_t i = from; i < to; ++i) {
                int channel = trial.encoder.currentChannel();
                ++trial.counts[size_t(channel)][trial.encoder.encode(sample[i])];
            }
        }
    };
    auto estimate = [&](size_t byteCount) {
        SoundEstimate found;
        for (int channelCount = 1; channelCount <= 4; ++channelCount) {
            const Trial& trial = trials[size_t(channelCount - 1)];
            double bits = 0;
            for (int c = 0; c < channelCount; ++c) {
                uint32_t total = 0;
                for (uint32_t count : trial.counts[size_t(c)])
                    total += count;
                for (uint32_t count : trial.counts[size_t(c)]) {
                    if (count != 0)
                        bits -= count * std::log2(double(count) / total);
                }
            }
            double bitsPerByte = bits / double(byteCount);
            if (bitsPerByte < found.bitsPerByte)
                found = {channelCount, bitsPerByte};
        }
        return found;
    };
    // Most data is plainly not sound after a quarter of the sample (a small sample only
    // underestimates the entropy), and the rest of the sample would not change that.
    size_t quick = std::min(sample.size(), quickSoundSample);
    run(0, quick);
    if (quick < sample.size()) {
        best = estimate(quick);
        if (best.bitsPerByte > plainlyNotSoundBits)
            return best;
        run(quick, sample.size());
    }
    return estimate(sample.size());
}

// The finder of a member that continues the stream before it: the one kept from the member
// before, or a new one that takes in the bytes before `start`.
MatchFinder& continuedFinder(std::unique_ptr<MatchFinder>& finder,
                             std::span<const uint8_t> stream, size_t start)
{
    if (finder) {
        finder->extend(stream);
    } else {
        finder = std::make_unique<MatchFinder>(stream, maxDistance, rar::windowSize);
        finder->insertUpTo(start);
    }
    return *finder;
}

RowMatchFinder& continuedFinder(std::unique_ptr<RowMatchFinder>& finder,
                                std::span<const uint8_t> stream, size_t start,
                                const CompressionLevel& settings)
{
    if (finder) {
        finder->extend(stream);
    } else {
        finder = std::make_unique<RowMatchFinder>(stream, maxDistance, rar::windowSize,
                                                  settings.findsShortMatches,
                                                  settings.rowTableEntries);
        finder->insertUpTo(start);
    }
    return *finder;
}

} // namespace

CompressionLevel compressionLevel(int level)
{
    switch (level) {
    case 1: return {false, 4, 24, 8, false, false, false, false, size_t(1) << 17};
    case 2: return {false, 12, 48, 16, false, false, false, true, 0};
    case 3: return {true, 24, 96, 32, false, false, false, true, 0};
    case 4: return {true, 96, 160, 257, false, false, true, true, 0};
    default: return {true, 96, 128, 257, false, true, true, true, 0};
    }
}

Rar20Compressor::Rar20Compressor(int level) : settings(compressionLevel(level)) {}

Rar20Compressor::~Rar20Compressor() = default;

void Rar20Compressor::resetState()
{
    hasTables = false;
    isAudio = false;
    channels = 1;
    currentLengths.clear();
    oldLengths.fill(0);
    history = MatchHistory{};
    audio = AudioEncoder{};
    stream.clear();
    streamFinder.reset();
    streamRowFinder.reset();
    symbolBits.fill(defaultSymbolBits);
}

void Rar20Compressor::addMatchToken(uint32_t length, uint32_t distance, LzBlock& block)
{
    LzToken token{};
    if (length == history.lastLength && distance == history.lastDistance) {
        token.symbol = rar::symbolRepeatLast;
    } else {
        int repeat = -1;
        for (int k = 1; k <= 4; ++k) {
            if (history.oldDistances[(history.pointer - uint32_t(k)) & 3] == distance) {
                repeat = k;
                break;
            }
        }
        uint32_t bonus = repeatBonus(distance);
        if (repeat > 0 && length >= 2 + bonus && length - 2 - bonus < 256) {
            uint32_t value = length - 2 - bonus;
            token.symbol = uint16_t(rar::symbolRepeatLast + repeat);
            token.secondSymbol = lengthSymbols[value];
            token.firstExtra = value - rar::lengthBases[token.secondSymbol];
            block.extraBits += rar::lengthBits[token.secondSymbol];
            ++block.frequencies[size_t(repeatOffset + token.secondSymbol)];
        } else if (length == 2) {
            assert(distance <= 256);
            unsigned code = shortDistanceSymbol(distance - 1);
            token.symbol = uint16_t(rar::symbolFirstShort + code);
            token.firstExtra = distance - 1 - rar::shortDistanceBases[code];
            block.extraBits += rar::shortDistanceBits[code];
        } else {
            uint32_t value = length - 3 - newMatchBonus(distance);
            assert(length >= 3 + newMatchBonus(distance) && value < 256);
            unsigned code = lengthSymbols[value];
            token.symbol = uint16_t(rar::symbolFirstLength + code);
            token.firstExtra = value - rar::lengthBases[code];
            unsigned distanceCode = distanceSymbol(distance - 1);
            token.secondSymbol = uint16_t(distanceCode);
            token.secondExtra = distance - 1 - rar::distanceBases[distanceCode];
            block.extraBits += rar::lengthBits[code] + rar::distanceBits[distanceCode];
            ++block.frequencies[size_t(distanceOffset + distanceCode)];
        }
    }
    ++block.frequencies[token.symbol];
    block.tokens.push_back(token);
    history.oldDistances[history.pointer & 3] = distance;
    ++history.pointer;
    history.lastDistance = distance;
    history.lastLength = length;
}

void Rar20Compressor::switchTables(BitWriter& out, const TableSet& set)
{
    if (hasTables) {
        if (isAudio)
            audioCodes[size_t(audio.currentChannel())].write(out, rar::audioSymbolNewTables);
        else
            literalCode.write(out, rar::symbolNewTables);
    }
    writeTableSet(out, set, oldLengths);
    hasTables = true;
    isAudio = set.isAudio;
    channels = set.channels;
    currentLengths = set.lengths;
    std::span<const uint8_t> lengths(currentLengths);
    if (isAudio) {
        for (int c = 0; c < channels; ++c) {
            audioCodes[size_t(c)] = HuffmanEncoder(
                lengths.subspan(size_t(c) * rar::audioTableSize, rar::audioTableSize));
        }
        audio.startBlock(channels);
    } else {
        for (size_t i = 0; i < symbolBits.size(); ++i)
            symbolBits[i] = currentLengths[i] != 0 ? currentLengths[i] : absentSymbolBits;
        literalCode = HuffmanEncoder(lengths.subspan(0, rar::literalTableSize));
        distanceCode = HuffmanEncoder(lengths.subspan(distanceOffset, rar::distanceTableSize));
        repeatLengthCode =
            HuffmanEncoder(lengths.subspan(repeatOffset, rar::repeatLengthTableSize));
    }
}

void Rar20Compressor::writeEndOfMember(BitWriter& out)
{
    // After a member's last symbol a reader may decode one more symbol from whatever
    // follows (alignment bits, cipher padding) and switch tables if it is the switch
    // symbol. A harmless symbol written here is what it finds instead, so the state it
    // leaves for a solid successor is the same whether it looks or not.
    const HuffmanEncoder& code =
        isAudio ? audioCodes[size_t(audio.currentChannel())] : literalCode;
    int best = -1;
    for (int symbol = 0; symbol < 256; ++symbol) {
        if (code.length(unsigned(symbol)) != 0
            && (best < 0 || code.length(unsigned(symbol)) < code.length(unsigned(best))))
            best = symbol;
    }
    assert(best >= 0);
    code.write(out, unsigned(best));
}

// A table set for the given frequencies, coded as differences to the previous set or not,
// whichever is shorter.
Rar20Compressor::TableChoice Rar20Compressor::chooseTableSet(bool isAudio, int channelCount,
                                                             std::vector<uint8_t> lengths) const
{
    TableChoice choice;
    choice.set.isAudio = isAudio;
    choice.set.channels = channelCount;
    choice.set.lengths = std::move(lengths);
    choice.set.keepOldLengths = false;
    choice.tableBits = tableSetBits(choice.set, oldLengths);
    // Readers disagree on the old lengths past the end of the previous set (some keep what
    // an earlier, larger set left there), so differences are only taken within it.
    if (choice.set.lengths.size() <= currentLengths.size()) {
        choice.set.keepOldLengths = true;
        uint64_t differences = tableSetBits(choice.set, oldLengths);
        choice.set.keepOldLengths = differences < choice.tableBits;
        choice.tableBits = std::min(choice.tableBits, differences);
    }
    return choice;
}

Rar20Compressor::AudioTrial Rar20Compressor::tryAudio(std::span<const uint8_t> bytes,
                                                      int channelCount) const
{
    AudioTrial trial;
    trial.channels = channelCount;
    trial.encoderAfter = audio;
    trial.encoderAfter.startBlock(channelCount);
    trial.symbols.resize(bytes.size());
    std::array<std::array<uint32_t, rar::audioTableSize>, 4> frequencies{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        int channel = trial.encoderAfter.currentChannel();
        uint8_t symbol = trial.encoderAfter.encode(bytes[i]);
        trial.symbols[i] = symbol;
        ++frequencies[size_t(channel)][symbol];
    }

    std::vector<uint8_t> lengths;
    uint64_t dataBits = 0;
    for (int c = 0; c < channelCount; ++c) {
        // As in LZ sets: a code for the switch symbol and one for an ordinary symbol.
        std::array<uint32_t, rar::audioTableSize> wanted = frequencies[size_t(c)];
        wanted[rar::audioSymbolNewTables] = 1;
        if (std::all_of(wanted.begin(), wanted.begin() + 256, [](uint32_t f) { return f == 0; }))
            wanted[0] = 1;
        size_t first = lengths.size();
        appendLengths(lengths, wanted);
        dataBits += codedBits(frequencies[size_t(c)], std::span(lengths).subspan(first));
    }
    trial.tables = chooseTableSet(true, channelCount, std::move(lengths));
    trial.newBits = dataBits + trial.tables.tableBits;

    if (hasTables && isAudio && channels == channelCount) {
        uint64_t keepBits = 0;
        for (int c = 0; c < channelCount; ++c) {
            auto part = std::span<const uint8_t>(currentLengths)
                            .subspan(size_t(c) * rar::audioTableSize, rar::audioTableSize);
            if (!allCoded(frequencies[size_t(c)], part))
                return trial;
            keepBits += codedBits(frequencies[size_t(c)], part);
        }
        trial.keepBits = keepBits;
    }
    return trial;
}

void Rar20Compressor::writeLzTokens(BitWriter& out, const LzBlock& block) const
{
    for (const LzToken& token : block.tokens) {
        literalCode.write(out, token.symbol);
        if (token.symbol <= rar::symbolRepeatLast)
            continue;
        if (token.symbol < rar::symbolFirstShort) {
            repeatLengthCode.write(out, token.secondSymbol);
            out.writeBits(token.firstExtra, rar::lengthBits[token.secondSymbol]);
        } else if (token.symbol < rar::symbolNewTables) {
            out.writeBits(token.firstExtra,
                          rar::shortDistanceBits[token.symbol - rar::symbolFirstShort]);
        } else {
            unsigned code = token.symbol - rar::symbolFirstLength;
            out.writeBits(token.firstExtra, rar::lengthBits[code]);
            distanceCode.write(out, token.secondSymbol);
            out.writeBits(token.secondExtra, rar::distanceBits[token.secondSymbol]);
        }
    }
}

void Rar20Compressor::writeAudioSymbols(BitWriter& out, std::span<const uint8_t> symbols) const
{
    int channel = audio.currentChannel();
    for (uint8_t symbol : symbols) {
        audioCodes[size_t(channel)].write(out, symbol);
        if (++channel == channels)
            channel = 0;
    }
}

template <typename Finder>
void Rar20Compressor::compressSegments(Finder& finder, std::span<const uint8_t> buffer,
                                       size_t start, BitWriter& out,
                                       const std::function<void(size_t)>& progress)
{
    LzBlock block;
    for (size_t begin = start; begin < buffer.size(); begin += segmentSize) {
        size_t end = std::min(buffer.size(), begin + segmentSize);
        size_t byteCount = end - begin;
        MatchHistory historyBefore = history;
        block.tokens.clear();
        block.frequencies.fill(0);
        block.extraBits = 0;
        // Sound rarely repeats exactly, so long searches for matches in it are wasted; a
        // quick look at its start decides whether the predictor gets a full trial and the
        // LZ parse only the fastest effort.
        SoundEstimate sound = estimateSound(
            audio, std::span<const uint8_t>(buffer).subspan(begin, std::min<size_t>(byteCount,
                                                                                   4096)));
        bool looksLikeSound = sound.bitsPerByte < 5.0;
        // A sample parse tells whether matches could beat the predictor at all; if not, the
        // segment's positions are left out of the chains, as sound seldom repeats.
        bool isLzWorthParsing = true;
        if (looksLikeSound) {
            MatchHistory saved = history;
            size_t sampleEnd = begin + std::min<size_t>(byteCount, 8192);
            parseSegment(finder, buffer, begin, sampleEnd, soundEffort, block);
            history = saved;
            std::vector<uint8_t> sampleLengths = lzLengths(block.frequencies);
            double sampleBits = double(codedBits(block.frequencies, sampleLengths)
                                       + block.extraBits);
            isLzWorthParsing =
                sampleBits / double(sampleEnd - begin) < sound.bitsPerByte + 0.25;
            block.tokens.clear();
            block.frequencies.fill(0);
            block.extraBits = 0;
        }

        enum class Choice { lzKeep, lzNew, audioKeep, audioNew } choice = Choice::lzNew;
        uint64_t bestBits = UINT64_MAX;
        TableChoice lzTables;
        if (isLzWorthParsing) {
            if (settings.isOptimal && !looksLikeSound) {
                // A first pass prices symbols by the tables in force; a second by the
                // statistics the first pass found, which the new tables will follow.
                MatchHistory saved = history;
                auto savedBits = symbolBits;
                optimalParseSegment(finder, buffer, begin, end, settings, false, block);
                std::vector<uint8_t> firstLengths = lzLengths(block.frequencies);
                for (size_t i = 0; i < symbolBits.size(); ++i)
                    symbolBits[i] = firstLengths[i] != 0 ? firstLengths[i] : absentSymbolBits;
                history = saved;
                block.tokens.clear();
                block.frequencies.fill(0);
                block.extraBits = 0;
                optimalParseSegment(finder, buffer, begin, end, settings, true, block);
                symbolBits = savedBits;
            } else {
                parseSegment(finder, buffer, begin, end,
                             looksLikeSound ? soundEffort : settings, block);
            }
            // The LZ coding: the tables in force, or a new set. All costs include the extra
            // bits, which LZ needs and audio does not.
            std::span<const uint32_t> frequencies(block.frequencies);
            std::vector<uint8_t> lengths = lzLengths(block.frequencies);
            uint64_t lzNewBits = codedBits(frequencies, lengths) + block.extraBits;
            lzTables = chooseTableSet(false, 1, std::move(lengths));
            bestBits = lzNewBits + lzTables.tableBits;
            if (hasTables && !isAudio && allCoded(frequencies, currentLengths)) {
                uint64_t keepBits = codedBits(frequencies, currentLengths) + block.extraBits;
                if (keepBits <= bestBits) {
                    bestBits = keepBits;
                    choice = Choice::lzKeep;
                }
            }
        } else {
            finder.skipUpTo(end);
        }

        // The multimedia coding, tried where LZ leaves most of the bytes' bits.
        AudioTrial bestAudio;
        // Where the sample's prediction errors promise more bits than LZ takes, the trial
        // would only confirm it: no code takes fewer bits than their entropy.
        double lzBitsPerByte = double(bestBits) / double(byteCount);
        if (sound.bitsPerByte < 7.0
            && (looksLikeSound
                || (lzBitsPerByte > 5.0 && sound.bitsPerByte < lzBitsPerByte))) {
            AudioTrial trial = tryAudio(buffer.subspan(begin, byteCount), sound.channels);
            if (std::min(trial.newBits, trial.keepBits) < bestBits) {
                bestBits = std::min(trial.newBits, trial.keepBits);
                choice = trial.keepBits <= trial.newBits ? Choice::audioKeep : Choice::audioNew;
                bestAudio = std::move(trial);
            }
        }

        switch (choice) {
        case Choice::lzNew:
            switchTables(out, lzTables.set);
            [[fallthrough]];
        case Choice::lzKeep:
            writeLzTokens(out, block);
            break;
        case Choice::audioNew:
        case Choice::audioKeep:
            history = historyBefore;
            if (choice == Choice::audioNew)
                switchTables(out, bestAudio.tables.set);
            writeAudioSymbols(out, bestAudio.symbols);
            audio = bestAudio.encoderAfter;
            break;
        }
        if (progress)
            progress(end - start);
    }

}

std::vector<uint8_t> Rar20Compressor::compressMember(std::span<const uint8_t> data,
                                                     bool continuesPrevious,
                                                     const std::function<void(size_t)>& progress)
{
    if (!continuesPrevious || !hasTables)
        resetState();

    // Matches may reach into earlier members of a solid run, so such a member is searched
    // after the bytes before it, with a finder that carries on from member to member; a
    // member without history is searched in place.
    BitWriter out;
    if (stream.empty()) {
        if (settings.usesChains) {
            MatchFinder finder(data, maxDistance);
            compressSegments(finder, data, 0, out, progress);
        } else {
            RowMatchFinder finder(data, maxDistance, 0, settings.findsShortMatches,
                                  settings.rowTableEntries);
            compressSegments(finder, data, 0, out, progress);
        }
    } else {
        if (stream.size() > 2 * size_t(rar::windowSize)) {
            stream.erase(stream.begin(), stream.end() - std::ptrdiff_t(rar::windowSize));
            streamFinder.reset();
            streamRowFinder.reset();
        }
        size_t start = stream.size();
        stream.insert(stream.end(), data.begin(), data.end());
        if (settings.usesChains)
            compressSegments(continuedFinder(streamFinder, stream, start), std::span(stream), start,
                             out, progress);
        else
            compressSegments(
                continuedFinder(streamRowFinder, stream, start, settings),
                std::span(stream), start, out, progress);
    }

    if (!hasTables) {
        // An empty member still opens with a table set, which a solid successor inherits.
        std::vector<uint8_t> lengths(rar::lzTableSetSize, 0);
        lengths[0] = 1;
        lengths[rar::symbolNewTables] = 1;
        switchTables(out, chooseTableSet(false, 1, std::move(lengths)).set);
    }
    writeEndOfMember(out);

    if (stream.empty()) {
        size_t keep = std::min<size_t>(data.size(), rar::windowSize);
        stream.assign(data.end() - std::ptrdiff_t(keep), data.end());
    }
    // Some readers decode with a look-ahead of several bytes and give up when a member's
    // data ends within it, after its last symbol or, for a tiny member, right at its start.
    // Zeros after the end symbol are never read as data.
    std::vector<uint8_t> packed = out.take();
    packed.resize(std::max(packed.size() + trailingZeroBytes, minimumPackedSize), 0);
    return packed;
}

} // namespace tincrates::rar20

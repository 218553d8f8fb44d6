// RAR 2.0 compression: a lazy LZ77 parse over hash chains, cut into segments that each get
// the cheapest coding: the tables in force, a new LZ table set, or the multimedia mode.
#include "datafiles/rar20_compressor.h"

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
constexpr uint32_t maxMatchLength = 257; // codable both as a new match and as a repeat
constexpr uint32_t maxDistance = rar::windowSize - 1;
constexpr size_t minimumPackedSize = 4;
constexpr size_t trailingZeroBytes = 4;
// For sound: the quickest search, which also strides over stretches without matches.
constexpr CompressionLevel soundEffort{false, 4, 24, 8, true, false, false, true, 0};
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
unsigned distanceSymbol(uint32_t value)
{
    if (value < 4)
        return value;
    if (value >= 0x20000)
        return 32 + (value >> 16);
    unsigned highBit = unsigned(std::bit_width(value)) - 1;
    return 2 * highBit + ((value >> (highBit - 1)) & 1);
}

unsigned shortDistanceSymbol(uint32_t value)
{
    unsigned code = 0;
    while (code + 1 < 8 && rar::shortDistanceBases[code + 1] <= value)
        ++code;
    return code;
}

// Length the decoder adds back for a new match at `distance`.
uint32_t newMatchBonus(uint32_t distance)
{
    return (distance >= 0x2000 ? 1 : 0) + (distance >= 0x40000 ? 1 : 0);
}

// Length the decoder adds back for a repeated distance.
uint32_t repeatBonus(uint32_t distance)
{
    return (distance >= 0x101 ? 1 : 0) + newMatchBonus(distance);
}

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

namespace {

struct Candidate {
    uint32_t length = 0;
    uint32_t distance = 0;
    int score = 0; // bits saved against literals, roughly
};

// Price in quarter bits of each byte value as a literal, from its frequency in
// buffer[begin, end): an estimate of the code length the literal table will give it.
std::array<uint32_t, 256> priceLiterals(std::span<const uint8_t> buffer, size_t begin,
                                        size_t end)
{
    std::array<uint32_t, 256> byteCounts{};
    for (size_t i = begin; i < end; ++i)
        ++byteCounts[buffer[i]];
    std::array<uint32_t, 256> prices{};
    for (size_t b = 0; b < 256; ++b) {
        if (byteCounts[b] != 0)
            prices[b] =
                uint32_t(std::lround(4 * std::log2(double(end - begin) / byteCounts[b])) + 1);
    }
    return prices;
}

} // namespace

template <typename Finder>
void Rar20Compressor::parseSegment(Finder& finder, std::span<const uint8_t> buffer,
                                   size_t begin, size_t end, const CompressionLevel& settings,
                                   LzBlock& block)
{
    // Prices in quarter bits for short matches against literals. Literals are priced from
    // this segment's own byte counts, the other symbols by the tables in force.
    std::array<uint32_t, 256> literalPrice = priceLiterals(buffer, begin, end);
    literalPrices.resize(end - begin + 1);
    literalPrices[0] = 0;
    for (size_t i = begin; i < end; ++i)
        literalPrices[i - begin + 1] = literalPrices[i - begin] + literalPrice[buffer[i]];
    auto literalsPrice = [&](size_t position, uint32_t length) {
        return int(literalPrices[position + length - begin] - literalPrices[position - begin]);
    };
    auto symbolPrice = [&](size_t symbol) { return 4 * int(symbolBits[symbol]); };

    auto bestAt = [&](size_t position) {
        Candidate best;
        uint32_t maxLength = uint32_t(std::min<size_t>(maxMatchLength, end - position));
        if (maxLength < 2)
            return best;
        for (uint32_t k = 1; k <= 4; ++k) {
            uint32_t distance = history.oldDistances[(history.pointer - k) & 3];
            // Most earlier distances do not fit at all; their first two bytes tell.
            if (distance == 0 || distance > position
                || buffer[position] != buffer[position - distance]
                || buffer[position + 1] != buffer[position + 1 - distance])
                continue;
            uint32_t length = finder.matchLength(position, distance, maxLength);
            if (length < 2 + repeatBonus(distance))
                continue;
            bool isLast = k == 1 && length == history.lastLength;
            int score = int(length) * literalCostBits
                - (isLast ? repeatLastCostBits : repeatCostBits);
            if (score > best.score)
                best = {length, distance, score};
        }
        if (best.length >= settings.niceLength)
            return best;
        Match match = finder.longestMatch(position, maxLength, settings.maxChain,
                                          settings.niceLength);
        if (match.length != 0) {
            int score = int(match.length) * literalCostBits - newMatchCostBits
                - rar::distanceBits[distanceSymbol(match.distance - 1)];
            if (score > best.score)
                best = {match.length, match.distance, score};
        }
        // Two bytes at a short distance, where the tables in force make that cheaper than two
        // literals; any longer match found a byte later is preferred.
        if (best.length == 0 && position + 2 <= end && settings.findsShortMatches) {
            uint32_t distance = finder.nearestPairDistance(position);
            if (distance != 0 && distance <= 256) {
                unsigned code = shortDistanceSymbol(distance - 1);
                int price = symbolPrice(size_t(rar::symbolFirstShort) + code)
                    + 4 * rar::shortDistanceBits[code];
                if (literalsPrice(position, 2) > price + 8)
                    best = {2, distance, 1};
            }
        }
        return best;
    };

    size_t position = begin;
    Candidate pending;
    bool hasPending = false;
    unsigned misses = 0;
    while (position < end) {
        finder.insertUpTo(position + 1);
        Candidate current = hasPending ? pending : bestAt(position);
        hasPending = false;
        if (current.length == 0) {
            // After a long run without matches, look only now and then until one turns up.
            size_t stride = settings.isStriding ? 1 + (++misses >> 6) : 1;
            size_t next = std::min(end, position + stride);
            for (; position < next; ++position) {
                ++block.frequencies[buffer[position]];
                block.tokens.push_back({buffer[position], 0, 0, 0});
            }
            if (stride > 1)
                finder.skipUpTo(position);
            continue;
        }
        misses = 0;
        if (settings.isLazy && current.length < settings.niceLength && position + 1 < end) {
            finder.insertUpTo(position + 2);
            Candidate next = bestAt(position + 1);
            if (next.score > current.score) {
                ++block.frequencies[buffer[position]];
                block.tokens.push_back({buffer[position], 0, 0, 0});
                ++position;
                pending = next;
                hasPending = true;
                continue;
            }
        }
        addMatchToken(current.length, current.distance, block);
        if (current.length > settings.insertLimit)
            finder.skipUpTo(position + current.length);
        position += current.length;
    }
}

template <typename Finder>
void Rar20Compressor::optimalParseSegment(Finder& finder, std::span<const uint8_t> buffer,
                                          size_t begin, size_t end,
                                          const CompressionLevel& settings, bool isSecondPass,
                                          LzBlock& block)
{
    // Cheapest path through the segment by the prices of the tables in force (literals by
    // the segment's own byte counts), in quarter bits. Each position remembers the step
    // that reached it most cheaply and the match history along that path, which is what
    // the repeat symbols refer to.
    size_t count = end - begin;
    std::array<uint32_t, 256> literalPrice = priceLiterals(buffer, begin, end);
    auto symbolPrice = [&](size_t symbol) { return 4 * uint32_t(symbolBits[symbol]); };
    auto newMatchPrice = [&](uint32_t length, uint32_t distance) {
        unsigned code = lengthSymbols[length - 3 - newMatchBonus(distance)];
        unsigned distanceCode = distanceSymbol(distance - 1);
        return symbolPrice(size_t(rar::symbolFirstLength) + code) + 4 * rar::lengthBits[code]
            + symbolPrice(size_t(distanceOffset) + distanceCode)
            + 4 * rar::distanceBits[distanceCode];
    };
    auto repeatPrice = [&](uint32_t k, uint32_t length, uint32_t distance) {
        unsigned code = lengthSymbols[length - 2 - repeatBonus(distance)];
        return symbolPrice(rar::symbolRepeatLast + k) + 4 * rar::lengthBits[code]
            + symbolPrice(size_t(repeatOffset) + code);
    };

    arrivals.assign(count + 1, Arrival{});
    if (!isSecondPass) {
        found.clear();
        foundAt.assign(count, UINT32_MAX);
        foundCount.assign(count, 0);
    }
    Arrival& first = arrivals[0];
    first.price = 0;
    for (uint32_t k = 0; k < 4; ++k)
        first.recent[k] = history.oldDistances[(history.pointer - 1 - k) & 3];
    first.lastLength = history.lastLength;

    auto reach = [&](size_t from, uint32_t length, uint32_t distance, uint32_t price) {
        const Arrival& source = arrivals[from];
        Arrival& target = arrivals[from + length];
        if (source.price + price >= target.price)
            return;
        target.price = source.price + price;
        target.length = length;
        target.distance = distance;
        if (distance == 0) {
            target.recent = source.recent;
            target.lastLength = source.lastLength;
        } else {
            target.recent = {distance, source.recent[0], source.recent[1], source.recent[2]};
            target.lastLength = length;
        }
    };

    size_t skipUntil = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t position = begin + i;
        reach(i, 1, 0, literalPrice[buffer[position]]);
        if (i < skipUntil)
            continue;
        finder.insertUpTo(position + 1);
        uint32_t maxLength = uint32_t(std::min<size_t>(maxMatchLength, end - position));
        if (maxLength < 2)
            continue;
        const Arrival here = arrivals[i];
        uint32_t longest = 0;
        for (uint32_t k = 0; k < 4; ++k) {
            uint32_t distance = here.recent[k];
            if (distance == 0 || distance > position)
                continue;
            uint32_t length = finder.matchLength(position, distance, maxLength);
            for (uint32_t l = 2 + repeatBonus(distance); l <= length; ++l) {
                bool isLast = k == 0 && l == here.lastLength;
                reach(i, l, distance,
                      isLast ? symbolPrice(rar::symbolRepeatLast)
                             : repeatPrice(k + 1, l, distance));
            }
            longest = std::max(longest, length);
        }
        // The second pass over a segment reuses the matches the first one found.
        if (isSecondPass && foundAt[i] != UINT32_MAX) {
            auto first = found.begin() + foundAt[i];
            matches.assign(first, first + foundCount[i]);
        } else {
            finder.allMatches(position, maxLength, settings.maxChain, settings.niceLength,
                              matches);
        }
        if (!isSecondPass) {
            foundAt[i] = uint32_t(found.size());
            foundCount[i] = uint32_t(matches.size());
            found.insert(found.end(), matches.begin(), matches.end());
        }
        uint32_t covered = 2;
        for (const Match& match : matches) {
            for (uint32_t l = std::max(covered + 1, minimumMatchLength(match.distance));
                 l <= match.length; ++l)
                reach(i, l, match.distance, newMatchPrice(l, match.distance));
            covered = match.length;
            longest = std::max(longest, match.length);
        }
        uint32_t pairDistance = position + 2 <= end ? finder.nearestPairDistance(position) : 0;
        if (pairDistance != 0 && pairDistance <= 256) {
            unsigned code = shortDistanceSymbol(pairDistance - 1);
            reach(i, 2, pairDistance,
                  symbolPrice(size_t(rar::symbolFirstShort) + code)
                      + 4 * rar::shortDistanceBits[code]);
        }
        // A very long match is as good as certain; its inside is not searched from.
        if (longest >= settings.niceLength)
            skipUntil = i + longest;
    }

    steps.clear();
    for (size_t i = count; i > 0; i -= arrivals[i].length)
        steps.push_back({arrivals[i].length, arrivals[i].distance});
    size_t position = begin;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        if (step->distance == 0) {
            ++block.frequencies[buffer[position]];
            block.tokens.push_back({buffer[position], 0, 0, 0});
        } else {
            addMatchToken(step->length, step->distance, block);
        }
        position += step->length;
    }
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

// RAR 2.0 compression, choosing the tokens of a segment: a lazy parse over the match finder's
// candidates, and an optimal parse that prices every choice against the tables in force.
#include "datafiles/rar20_compressor.h"

#include "datafiles/rar20_compressor_internal.h"
#include "datafiles/rar20_match_finder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

namespace tincrates::rar20 {

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

// The finders the compressor parses with.
template void Rar20Compressor::parseSegment(MatchFinder&, std::span<const uint8_t>, size_t,
                                            size_t, const CompressionLevel&, LzBlock&);
template void Rar20Compressor::parseSegment(RowMatchFinder&, std::span<const uint8_t>, size_t,
                                            size_t, const CompressionLevel&, LzBlock&);
template void Rar20Compressor::optimalParseSegment(MatchFinder&, std::span<const uint8_t>,
                                                   size_t, size_t, const CompressionLevel&, bool,
                                                   LzBlock&);
template void Rar20Compressor::optimalParseSegment(RowMatchFinder&, std::span<const uint8_t>,
                                                   size_t, size_t, const CompressionLevel&, bool,
                                                   LzBlock&);

} // namespace tincrates::rar20

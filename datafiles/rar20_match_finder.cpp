// Hash chains over three-byte prefixes, with a ring of links as long as the window; and
// rows of recent positions per four-byte hash.
#include "datafiles/rar20_match_finder.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tincrates::rar20 {

namespace {

// How many bytes at `here` equal those at `there`, up to `maxLength`.
uint32_t countEqualBytes(const uint8_t* here, const uint8_t* there, uint32_t maxLength)
{
    uint32_t length = 0;
    while (length + 8 <= maxLength) {
        uint64_t a, b;
        std::memcpy(&a, here + length, 8);
        std::memcpy(&b, there + length, 8);
        if (a != b)
            return length + uint32_t(std::countr_zero(a ^ b) / 8); // little-endian hosts
        length += 8;
    }
    while (length < maxLength && here[length] == there[length])
        ++length;
    return length;
}

// The distance back to the position `link` names (1-based, 0 for none) when it is a usable
// earlier occurrence of the pair of bytes at `position`: links can be stale, so the bytes
// are checked rather than trusted.
uint32_t checkedPairDistance(std::span<const uint8_t> data, size_t position, uint32_t link,
                             uint32_t maxDistance)
{
    if (link == 0 || link - 1 >= position || position - (link - 1) > maxDistance)
        return 0;
    size_t candidate = link - 1;
    if (data[candidate] != data[position] || data[candidate + 1] != data[position + 1])
        return 0;
    return uint32_t(position - candidate);
}

// How many bytes from `position` equal those `distance` back, up to `maxLength`.
uint32_t lengthAt(std::span<const uint8_t> data, size_t position, uint32_t distance,
                  uint32_t maxLength)
{
    if (distance == 0 || distance > position)
        return 0;
    maxLength = uint32_t(std::min<size_t>(maxLength, data.size() - position));
    const uint8_t* here = data.data() + position;
    return countEqualBytes(here, here - distance, maxLength);
}

} // namespace

MatchFinder::MatchFinder(std::span<const uint8_t> bytes, uint32_t maxDistanceBytes,
                         size_t capacity)
    : data(bytes), maxDistance(maxDistanceBytes)
{
    // A ring no longer than the data (or the window) keeps small members cheap to set up.
    size_t expected = std::max({data.size(), capacity, size_t(1024)});
    size_t ringSize = std::min(std::bit_ceil(expected), std::bit_ceil(size_t(maxDistance) + 1));
    previous.assign(ringSize, 0);
    previousPair.assign(ringSize, 0);
    lastPair.assign(65536, 0);
    previousMask = ringSize - 1;
    hashBits = expected > (size_t(1) << 18) ? 17 : 15;
    head.assign(size_t(1) << hashBits, 0);
}

void MatchFinder::extend(std::span<const uint8_t> longer)
{
    assert(longer.size() >= data.size());
    data = longer;
}

uint32_t MatchFinder::hashAt(size_t position) const
{
    uint32_t prefix = uint32_t(data[position]) << 16 | uint32_t(data[position + 1]) << 8
        | data[position + 2];
    return (prefix * 2654435761u) >> (32 - hashBits);
}

void MatchFinder::insertUpTo(size_t end)
{
    end = std::min(end, data.size() >= 2 ? data.size() - 2 : 0);
    for (; inserted < end; ++inserted) {
        uint32_t& first = head[hashAt(inserted)];
        previous[inserted & previousMask] = first;
        first = uint32_t(inserted + 1);
        uint32_t& pair = lastPair[size_t(data[inserted]) << 8 | data[inserted + 1]];
        previousPair[inserted & previousMask] = pair;
        pair = uint32_t(inserted + 1);
    }
}

void MatchFinder::skipUpTo(size_t end)
{
    inserted = std::max(inserted, std::min(end, data.size() >= 2 ? data.size() - 2 : 0));
}

uint32_t MatchFinder::nearestPairDistance(size_t position) const
{
    // A position never added (skipped, or one of the last two) has a stale link or none.
    if (position + 1 >= data.size() || position >= inserted)
        return 0;
    return checkedPairDistance(data, position, previousPair[position & previousMask], maxDistance);
}

uint32_t MatchFinder::matchLength(size_t position, uint32_t distance, uint32_t maxLength) const
{
    return lengthAt(data, position, distance, maxLength);
}

Match MatchFinder::longestMatch(size_t position, uint32_t maxLength, unsigned maxChain,
                                uint32_t niceLength) const
{
    Match best;
    walkChain(position, maxLength, maxChain, niceLength, [&](Match match) { best = match; });
    return best;
}

void MatchFinder::allMatches(size_t position, uint32_t maxLength, unsigned maxChain,
                             uint32_t niceLength, std::vector<Match>& out) const
{
    out.clear();
    walkChain(position, maxLength, maxChain, niceLength,
              [&](Match match) { out.push_back(match); });
}

template <typename Found>
void MatchFinder::walkChain(size_t position, uint32_t maxLength, unsigned maxChain,
                            uint32_t niceLength, Found&& found) const
{
    maxLength = uint32_t(std::min<size_t>(maxLength, data.size() - position));
    if (maxLength < 3 || position + 2 >= data.size())
        return;
    assert(position < inserted);
    niceLength = std::min(niceLength, maxLength);
    size_t oldest = position > maxDistance ? position - maxDistance : 0;
    const uint8_t* here = data.data() + position;
    // The chain starts at the position itself; its link leads to the earlier ones.
    uint32_t link = previous[position & previousMask];
    uint32_t bestLength = 2;
    for (unsigned chain = 0; link != 0 && chain < maxChain; ++chain) {
        size_t candidate = link - 1;
        if (candidate >= position || candidate < oldest)
            break;
        const uint8_t* there = data.data() + candidate;
        if (there[bestLength] == here[bestLength] && there[0] == here[0]
            && there[1] == here[1]) {
            uint32_t distance = uint32_t(position - candidate);
            uint32_t length = matchLength(position, distance, maxLength);
            if (length > bestLength && length >= minimumMatchLength(distance)) {
                bestLength = length;
                found(Match{length, distance});
                if (length >= niceLength)
                    break;
            }
        }
        link = previous[candidate & previousMask];
    }
}

// ---- RowMatchFinder ----

RowMatchFinder::RowMatchFinder(std::span<const uint8_t> bytes, uint32_t maxDistanceBytes,
                               size_t capacity, bool withShortMatches, size_t maxEntries)
    : data(bytes), maxDistance(maxDistanceBytes), findsShortMatches(withShortMatches)
{
    // Room for about twice the positions the window holds, so that a row seldom drops one
    // still in reach, unless `maxEntries` asks for a table small enough to stay in the cache;
    // small members get small tables.
    size_t expected = std::max({data.size(), capacity, size_t(1024)});
    size_t reach = std::min(std::bit_ceil(expected), std::bit_ceil(size_t(maxDistance) + 1));
    size_t entries = maxEntries != 0 ? std::min(2 * reach, std::bit_ceil(maxEntries)) : 2 * reach;
    size_t rows = std::max<size_t>(entries / rowEntries, 16);
    rowBits = unsigned(std::countr_zero(rows));
    rowPositions.assign(rows * rowEntries, 0);
    rowTags.assign(rows * rowEntries, 0);
    rowHeads.assign(rows, 0);
    if (findsShortMatches) {
        // Small members get a hashed table rather than one entry per two-byte value; the
        // bytes at a link are checked anyway.
        pairBits = std::min(16u, unsigned(std::bit_width(expected)));
        lastPair.assign(size_t(1) << pairBits, 0);
        previousPair.assign(recentRingSize, 0);
    }
}

size_t RowMatchFinder::pairIndex(const uint8_t* bytes) const
{
    uint32_t pair = uint32_t(bytes[0]) << 8 | bytes[1];
    return pairBits == 16 ? pair : (pair * 2654435761u) >> (32 - pairBits);
}

void RowMatchFinder::extend(std::span<const uint8_t> longer)
{
    assert(longer.size() >= data.size());
    data = longer;
}

// The row in the high bits, the tag in the eight below them.
uint32_t RowMatchFinder::rowHash(size_t position) const
{
    uint32_t word;
    std::memcpy(&word, data.data() + position, 4);
    return (word * 2654435761u) >> (24 - rowBits);
}

void RowMatchFinder::insert(size_t position)
{
    const uint8_t* bytes = data.data() + position;
    uint32_t link = uint32_t(position + 1);
    if (position + 4 <= data.size()) {
        uint32_t hash = rowHash(position);
        size_t row = hash >> 8;
        uint8_t head = uint8_t((rowHeads[row] - 1) & (rowEntries - 1));
        rowHeads[row] = head;
        rowPositions[row * rowEntries + head] = link;
        rowTags[row * rowEntries + head] = uint8_t(hash);
    }
    if (!findsShortMatches)
        return;
    uint32_t& latestPair = lastPair[pairIndex(bytes)];
    previousPair[position & (recentRingSize - 1)] = latestPair;
    latestPair = link;
}

void RowMatchFinder::prefetchRow(size_t position) const
{
    if (position + 4 > data.size())
        return;
    size_t row = rowHash(position) >> 8;
    __builtin_prefetch(&rowHeads[row]);
    __builtin_prefetch(&rowTags[row * rowEntries]);
    __builtin_prefetch(&rowPositions[row * rowEntries]);
    __builtin_prefetch(&rowPositions[row * rowEntries + rowEntries / 2]);
}

void RowMatchFinder::insertUpTo(size_t end)
{
    end = std::min(end, data.size() >= 2 ? data.size() - 2 : 0);
    for (; inserted < end; ++inserted) {
        // The rows of positions a little ahead are fetched now, so that the memory has
        // answered by the time they are added and searched.
        prefetchRow(inserted + prefetchDistance);
        insert(inserted);
    }
}

void RowMatchFinder::skipUpTo(size_t end)
{
    inserted = std::max(inserted, std::min(end, data.size() >= 2 ? data.size() - 2 : 0));
}

uint32_t RowMatchFinder::nearestPairDistance(size_t position) const
{
    // A position never added, or one whose ring entry a later one took, has a stale link or
    // none.
    if (position + 1 >= data.size() || position >= inserted || !findsShortMatches)
        return 0;
    return checkedPairDistance(
        data, position, previousPair[position & (recentRingSize - 1)], maxDistance);
}

uint32_t RowMatchFinder::matchLength(size_t position, uint32_t distance, uint32_t maxLength) const
{
    return lengthAt(data, position, distance, maxLength);
}

Match RowMatchFinder::longestMatch(size_t position, uint32_t maxLength, unsigned maxChain,
                                   uint32_t niceLength) const
{
    Match best;
    searchRow(position, maxLength, maxChain, niceLength, [&](Match match) { best = match; });
    return best;
}

void RowMatchFinder::allMatches(size_t position, uint32_t maxLength, unsigned maxChain,
                                uint32_t niceLength, std::vector<Match>& out) const
{
    out.clear();
    searchRow(position, maxLength, maxChain, niceLength,
              [&](Match match) { out.push_back(match); });
}

template <typename Found>
void RowMatchFinder::searchRow(size_t position, uint32_t maxLength, unsigned maxChain,
                               uint32_t niceLength, Found&& found) const
{
    maxLength = uint32_t(std::min<size_t>(maxLength, data.size() - position));
    if (maxLength < 3 || position + 2 >= data.size())
        return;
    assert(position < inserted);
    niceLength = std::min(niceLength, maxLength);
    const uint8_t* here = data.data() + position;
    uint32_t bestLength = 2;
    // Whether the search can stop.
    auto consider = [&](size_t candidate) {
        const uint8_t* there = data.data() + candidate;
        if (there[bestLength] != here[bestLength] || there[0] != here[0] || there[1] != here[1])
            return false;
        uint32_t distance = uint32_t(position - candidate);
        uint32_t length = countEqualBytes(here, there, maxLength);
        if (length <= bestLength || length < minimumMatchLength(distance))
            return false;
        bestLength = length;
        found(Match{length, distance});
        return length >= niceLength;
    };

    // Three-byte matches are worth coding only close by, where the nearest two equal bytes
    // are the likeliest start of one.
    uint32_t link = findsShortMatches ? previousPair[position & (recentRingSize - 1)] : 0;
    if (link != 0 && link - 1 < position) {
        size_t candidate = link - 1;
        if (position - candidate < 0x2000 && position - candidate <= maxDistance
            && consider(candidate))
            return;
    }
    if (position + 4 > data.size())
        return;

    uint32_t hash = rowHash(position);
    size_t row = hash >> 8;
    const uint8_t* tags = &rowTags[row * rowEntries];
    uint32_t agreeing = 0;
#ifdef __SSE2__
    __m128i tag = _mm_set1_epi8(char(uint8_t(hash)));
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tags));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tags + 16));
    agreeing = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(low, tag)))
        | uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(high, tag))) << 16;
#else
    for (unsigned entry = 0; entry < rowEntries; ++entry)
        agreeing |= uint32_t(tags[entry] == uint8_t(hash)) << entry;
#endif
    // Bit k of the rotated mask is the k-th latest entry of the row.
    unsigned head = rowHeads[row];
    agreeing = std::rotr(agreeing, int(head));
    const uint32_t* positions = &rowPositions[row * rowEntries];
    for (unsigned examined = 0; agreeing != 0 && examined < maxChain; ++examined) {
        unsigned age = unsigned(std::countr_zero(agreeing));
        agreeing &= agreeing - 1;
        uint32_t link = positions[(head + age) & (rowEntries - 1)];
        if (link == 0)
            break; // the row has never been this full
        size_t candidate = link - 1;
        if (candidate >= position)
            continue; // the position itself
        if (position - candidate > maxDistance)
            break; // older entries lie farther still
        if (consider(candidate))
            break;
    }
}

} // namespace tincrates::rar20

// Hash chains over three-byte prefixes, with a ring of links as long as the window.
#include "datafiles/rar20_match_finder.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace tincrates::rar20 {

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
    // A position never added (skipped, or one of the last two) has a stale link or none, so
    // the bytes are checked rather than trusted.
    if (position + 1 >= data.size() || position >= inserted)
        return 0;
    uint32_t link = previousPair[position & previousMask];
    if (link == 0 || link - 1 >= position || position - (link - 1) > maxDistance)
        return 0;
    size_t candidate = link - 1;
    if (data[candidate] != data[position] || data[candidate + 1] != data[position + 1])
        return 0;
    return uint32_t(position - candidate);
}

uint32_t MatchFinder::matchLength(size_t position, uint32_t distance, uint32_t maxLength) const
{
    if (distance == 0 || distance > position)
        return 0;
    maxLength = uint32_t(std::min<size_t>(maxLength, data.size() - position));
    const uint8_t* here = data.data() + position;
    const uint8_t* there = here - distance;
    uint32_t length = 0;
    while (length + 8 <= maxLength) {
        uint64_t a, b;
        std::memcpy(&a, here + length, 8);
        std::memcpy(&b, there + length, 8);
        if (a != b)
            return length + uint32_t(std::countr_zero(a ^ b) / 8);
        length += 8;
    }
    while (length < maxLength && here[length] == there[length])
        ++length;
    return length;
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

} // namespace tincrates::rar20

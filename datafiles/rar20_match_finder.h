// Writer side: finds earlier occurrences of the bytes at a position in the 1 MiB window, for
// the RAR 2.0 compressor: hash chains for the thorough levels, hash rows for the quick ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tincrates::rar20 {

struct Match {
    uint32_t length = 0;   // 0 = none
    uint32_t distance = 0; // 1 up to the window size
};

// The shortest match the format can code at `distance` as a new match: longer distances
// cost extra length, which the decoder adds back.
constexpr uint32_t minimumMatchLength(uint32_t distance)
{
    return 3 + (distance >= 0x2000 ? 1 : 0) + (distance >= 0x40000 ? 1 : 0);
}

class MatchFinder {
public:
    // Searches `data`, which stays owned by the caller and must outlive the finder. Matches
    // reach back at most `maxDistance` bytes and never before the start of `data`. Tables
    // are sized for `capacity` bytes when the data will be extended beyond its first size.
    MatchFinder(std::span<const uint8_t> data, uint32_t maxDistance, size_t capacity = 0);

    // Goes on with `longer`, which holds the bytes searched so far followed by new ones
    // (the same bytes, possibly moved).
    void extend(std::span<const uint8_t> longer);

    // Adds every position before `end` not yet added to the chains; positions must be
    // added in order before they are searched from.
    void insertUpTo(size_t end);

    // Moves past every position before `end` without adding it: faster, and such positions
    // are never found as match starts.
    void skipUpTo(size_t end);

    // The longest match at `position` (which must already be inserted) of at most
    // `maxLength` bytes that the format can code as a new match, looking at no more than
    // `maxChain` earlier candidates and stopping early at `niceLength`. Among equal lengths
    // the nearest wins.
    Match longestMatch(size_t position, uint32_t maxLength, unsigned maxChain,
                       uint32_t niceLength) const;

    // The distance to the nearest earlier position (already inserted, as `position` must be)
    // that starts with the same two bytes, or 0 if there is none.
    uint32_t nearestPairDistance(size_t position) const;

    // Every match at `position` (inserted) that is longer than all nearer ones, nearest
    // first, so lengths increase; otherwise as longestMatch. Replaces the contents of `out`.
    void allMatches(size_t position, uint32_t maxLength, unsigned maxChain, uint32_t niceLength,
                    std::vector<Match>& out) const;

    // How many bytes at `position` equal those `distance` bytes earlier, up to `maxLength`.
    uint32_t matchLength(size_t position, uint32_t distance, uint32_t maxLength) const;

private:
    uint32_t hashAt(size_t position) const;
    // Calls `found` with each candidate longer than those before it.
    template <typename Found>
    void walkChain(size_t position, uint32_t maxLength, unsigned maxChain, uint32_t niceLength,
                   Found&& found) const;

    std::span<const uint8_t> data;
    uint32_t maxDistance;
    unsigned hashBits;
    size_t inserted = 0;            // positions below this are in the chains
    std::vector<uint32_t> head;     // per hash: latest position + 1, 0 = none
    std::vector<uint32_t> previous; // per position (ring): the one before with the same hash
    std::vector<uint32_t> lastPair;     // per two-byte value: latest position + 1, 0 = none
    std::vector<uint32_t> previousPair; // per position (ring): the one before with those bytes
    size_t previousMask;
};

// The quick levels' finder, with the same operations as MatchFinder. Each
// four-byte hash has a row of the latest 32 positions whose hash falls in it, each with eight
// more bits of its hash. A search reads one row and looks only at the positions whose bits
// agree, so the bytes it compares are known at once and fetched together, where a chain
// learns each next place only from the one before. Three-byte matches, worth coding only
// close by, are looked for at the latest position with the same two bytes.
class RowMatchFinder {
public:
    // Without `findsShortMatches` it finds no matches shorter than four bytes (and
    // nearestPairDistance is always 0), and adds positions faster. The rows hold twice as
    // many positions as the window, or `maxEntries` when that is fewer (and not 0).
    RowMatchFinder(std::span<const uint8_t> data, uint32_t maxDistance, size_t capacity = 0,
                   bool findsShortMatches = true, size_t maxEntries = 0);

    void extend(std::span<const uint8_t> longer);
    void insertUpTo(size_t end);
    void skipUpTo(size_t end);
    // As MatchFinder's; `maxChain` counts the positions whose bits agree.
    Match longestMatch(size_t position, uint32_t maxLength, unsigned maxChain,
                       uint32_t niceLength) const;
    void allMatches(size_t position, uint32_t maxLength, unsigned maxChain, uint32_t niceLength,
                    std::vector<Match>& out) const;
    uint32_t nearestPairDistance(size_t position) const;
    uint32_t matchLength(size_t position, uint32_t distance, uint32_t maxLength) const;

private:
    static constexpr unsigned rowEntries = 32;
    // Links to the position before with the same two bytes are asked only for positions
    // just added, so a short ring keeps them.
    static constexpr size_t recentRingSize = 4096;
    static constexpr size_t prefetchDistance = 8;

    void insert(size_t position);
    void prefetchRow(size_t position) const;
    size_t pairIndex(const uint8_t* bytes) const;
    uint32_t rowHash(size_t position) const;
    // Calls `found` with each candidate longer than those before it.
    template <typename Found>
    void searchRow(size_t position, uint32_t maxLength, unsigned maxChain, uint32_t niceLength,
                   Found&& found) const;

    std::span<const uint8_t> data;
    uint32_t maxDistance;
    unsigned rowBits;
    bool findsShortMatches;
    unsigned pairBits = 0;
    size_t inserted = 0;
    std::vector<uint32_t> rowPositions; // rowEntries per row: position + 1, 0 = none
    std::vector<uint8_t> rowTags;       // the further hash bits of each entry
    std::vector<uint8_t> rowHeads;      // per row: the entry that holds its latest position
    std::vector<uint32_t> lastPair;       // per two-byte value (or hash): latest position + 1
    std::vector<uint32_t> previousPair;   // per position (ring): the one before with those bytes
};

} // namespace tincrates::rar20

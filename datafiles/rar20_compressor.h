// Writer side of RAR 2.0 compression: LZ77 over the 1 MiB window with Huffman-coded table
// sets, and the multimedia mode for blocks that predict better than they match.
#pragma once

#include "datafiles/rar20_audio_encoder.h"
#include "datafiles/rar20_bit_writer.h"
#include "datafiles/rar20_match_finder.h"
#include "datafiles/rar_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace tincrates::rar20 {


// Search effort of one level, from 1 (fastest) to 5 (smallest).
struct CompressionLevel {
    bool isLazy;          // try one position later before taking a match
    unsigned maxChain;    // earlier candidates examined per position
    uint32_t niceLength;  // a match this long is taken at once
    uint32_t insertLimit; // positions inside longer matches are not added to the chains
    bool isStriding;      // search ever more sparsely while no match turns up
    bool isOptimal;       // find the cheapest path through all matches instead of a lazy parse
    bool usesChains;      // hash chains (thorough) rather than hash rows (quick)
    bool findsShortMatches; // two- and three-byte matches close by (rows; chains always do)
    size_t rowTableEntries; // rows' size in positions (0: twice the window); a small table
                            // stays in the processor's cache but forgets sooner
};

// The level settings for `level` 1 to 5.
CompressionLevel compressionLevel(int level);

// Compresses members one after another, keeping the decoder's state between them so that a
// solid run of members decodes in one pass. Not thread-safe; one object per archive.
class Rar20Compressor {
public:
    // `level` 1 to 5.
    explicit Rar20Compressor(int level);
    ~Rar20Compressor();

    // Returns the packed data of `data` as the next member. With `continuesPrevious` the
    // decoder is expected to keep its state from the member compressed before (a solid
    // member, which starts without a table set); otherwise everything starts afresh.
    // `progress`, when given, is called now and then with the bytes of `data` done so far.
    // The data ends with a symbol that changes nothing and a few zero bytes, so readers that
    // look one symbol past a member's end, or read ahead of it, find nothing to act on.
    std::vector<uint8_t> compressMember(std::span<const uint8_t> data, bool continuesPrevious,
                                        const std::function<void(size_t)>& progress = {});

    // Whether a member has been compressed, so that a next one may continue its state.
    bool hasState() const { return hasTables; }

private:
    // A table set and the bits it takes to write.
    struct TableChoice {
        TableSet set;
        uint64_t tableBits = 0;
    };

    // The multimedia coding of one segment with one channel count, and what it costs with a
    // new table set or with the tables in force (UINT64_MAX where those cannot code it).
    struct AudioTrial {
        int channels = 1;
        AudioEncoder encoderAfter;
        std::vector<uint8_t> symbols;
        TableChoice tables;
        uint64_t newBits = UINT64_MAX;
        uint64_t keepBits = UINT64_MAX;
    };

    // The decoder's record of recent matches, which the repeat symbols refer to.
    struct MatchHistory {
        std::array<uint32_t, 4> oldDistances{};
        uint32_t pointer = 0;
        uint32_t lastDistance = 0;
        uint32_t lastLength = 0;
    };

    // One coded item of an LZ block: a literal/length symbol and what follows it.
    struct LzToken {
        uint16_t symbol;
        uint16_t secondSymbol; // distance symbol of a new match, length symbol of a repeat
        uint32_t firstExtra;   // length extra bits, or the short distance's extra bits
        uint32_t secondExtra;  // distance extra bits of a new match
    };

    struct LzBlock {
        std::vector<LzToken> tokens;
        std::array<uint32_t, rar::lzTableSetSize> frequencies{};
        uint64_t extraBits = 0;
    };

    void resetState();
    // Compresses buffer[start, end) segment by segment into `out`, with `finder` holding the
    // bytes before `start`.
    template <typename Finder>
    void compressSegments(Finder& finder, std::span<const uint8_t> buffer, size_t start,
                          BitWriter& out, const std::function<void(size_t)>& progress);
    template <typename Finder>
    void parseSegment(Finder& finder, std::span<const uint8_t> buffer, size_t begin,
                      size_t end, const CompressionLevel& effort, LzBlock& block);
    template <typename Finder>
    void optimalParseSegment(Finder& finder, std::span<const uint8_t> buffer, size_t begin,
                             size_t end, const CompressionLevel& effort, bool isSecondPass,
                             LzBlock& block);
    void addMatchToken(uint32_t length, uint32_t distance, LzBlock& block);
    TableChoice chooseTableSet(bool isAudio, int channelCount,
                               std::vector<uint8_t> lengths) const;
    AudioTrial tryAudio(std::span<const uint8_t> bytes, int channelCount) const;
    void writeLzTokens(BitWriter& out, const LzBlock& block) const;
    void writeAudioSymbols(BitWriter& out, std::span<const uint8_t> symbols) const;
    void switchTables(BitWriter& out, const TableSet& set);
    void writeEndOfMember(BitWriter& out);

    CompressionLevel settings;

    // What the decoder holds once it has read everything written so far.
    bool hasTables = false;
    bool isAudio = false;
    int channels = 1;
    std::vector<uint8_t> currentLengths;
    std::array<uint8_t, 1028> oldLengths{};
    HuffmanEncoder literalCode, distanceCode, repeatLengthCode;
    std::array<HuffmanEncoder, 4> audioCodes;
    MatchHistory history;
    AudioEncoder audio;
    // Bytes of the members so far (at least the last window's worth), and hash chains over
    // them while members keep continuing one another.
    std::vector<uint8_t> stream;
    std::unique_ptr<MatchFinder> streamFinder;
    std::unique_ptr<RowMatchFinder> streamRowFinder;

    // What the parse expects each LZ symbol to cost, in bits: the last LZ tables' lengths.
    std::array<uint8_t, rar::lzTableSetSize> symbolBits{};
    // Parse scratch, kept to save allocations.
    std::vector<uint32_t> literalPrices;
    // How the optimal parse reached a position most cheaply, in quarter bits.
    struct Arrival {
        uint32_t price = UINT32_MAX;
        uint32_t length = 0; // of the step that got here; 1 with distance 0 = literal
        uint32_t distance = 0;
        std::array<uint32_t, 4> recent{}; // match distances, most recent first
        uint32_t lastLength = 0;
    };
    std::vector<Arrival> arrivals;
    std::vector<Match> matches;
    std::vector<Match> found;       // every match the first pass found, position by position
    std::vector<uint32_t> foundAt;    // where each position's matches start in `found`
    std::vector<uint32_t> foundCount; // and how many there are
    struct Step {
        uint32_t length;
        uint32_t distance;
    };
    std::vector<Step> steps;
};

} // namespace tincrates::rar20

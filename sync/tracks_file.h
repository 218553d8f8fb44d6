// The sync editor's document (a ".rocket" file): the tracks and their keys as XML, which the
// editor opens and saves and the production plays from.
#pragma once

#include "sync/sync_track.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates {

struct TracksDocument {
    // Bounds only the editor's cursor; the editor makes a new document with this many.
    static constexpr uint32_t newDocumentRows = 128;

    uint32_t rows = 0;
    std::vector<SyncTrack> tracks;
};

// Reads a document. Keys out of order are sorted; of two keys on one row the later in the text
// wins; tracks named twice are one track; bookmarks and unknown elements are passed over. A
// document without rows has the editor's new document's. Throws std::runtime_error
// "line N: WHAT" for a text that is not UTF-8, not well-formed XML or nests elements too
// deeply, a root that is not <sync>, a <track> without a name, a <key> without row, value or
// interpolation, a row that is not a whole number in 0..2147483647, a value that is not a
// finite number, or an interpolation other than 0..3.
TracksDocument readTracksDocument(std::string_view text);

// The document as the editor writes it: no XML declaration, tab indents, every track (one
// without keys as an empty element), each value in as few digits as read back to the same
// float (at most nine significant digits).
std::string writeTracksDocument(std::span<const SyncTrack> tracks, uint32_t rows);

} // namespace tincrates

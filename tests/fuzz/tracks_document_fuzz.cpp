// An input as the sync editor's document. What reads must also write and read back to the
// same tracks, since the production saves what the editor asks it to.
#include "fuzz/fuzz_target.h"
#include "sync/tracks_file.h"

#include <cstdlib>
#include <stdexcept>
#include <string_view>

TINCRATES_FUZZ_TARGET(tracks_document)
{
    std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    tincrates::TracksDocument document;
    try {
        document = tincrates::readTracksDocument(text);
    } catch (const std::runtime_error&) {
        return;
    }
    tincrates::TracksDocument again =
        tincrates::readTracksDocument(tincrates::writeTracksDocument(document.tracks, document.rows));
    if (again.rows != document.rows || again.tracks != document.tracks)
        std::abort();
}

// The values of a frame a maker can direct: each is a sync track, keyed on the grid of rows
// (rowsPerBeat to a beat), and a track with keys takes the place of the built-in value at every
// time. A production without keys plays exactly as animateFrame makes it.
#pragma once

#include "production/frame_animation.h"
#include "sync/sync_track.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tincrates {

struct TracksDocument;

// The data file a production's tracks are read from, when it has one; the sync editor's own
// document.
inline constexpr const char* tracksFileName = "sync.rocket";

// Every track the production has, in the order it asks a sync editor for them.
enum class FrameTrack : unsigned {
    cameraX, cameraY, cameraZ,
    lookX, lookY, lookZ,
    cameraRoll, cameraFieldOfView,
    lightX, lightY, lightZ,
    tumbleX, tumbleY, tumbleZ,
    reveal, flash, fade, credits,
    text, textOpacity,
    fogRed, fogGreen, fogBlue, fogStart, fogEnd,
    count
};
inline constexpr size_t frameTrackCount = size_t(FrameTrack::count);

// A track's name, as the editor shows it (a colon folds it into a group), and its unit.
struct FrameTrackName {
    const char* name;
    const char* unit;
};
extern const std::array<FrameTrackName, frameTrackCount> frameTrackNames;

// The name of each track, in FrameTrack order, for a sync editor.
std::vector<std::string> frameTrackNameList();

// The tracks of one production, keyed or not.
class FrameTracks {
public:
    // Every track, without keys.
    FrameTracks();

    // The tracks of an editor's document. Tracks of names the production does not have are
    // left out and their names added to `unknownNames`.
    static FrameTracks fromDocument(
        const TracksDocument& document, std::vector<std::string>& unknownNames);
    // Tracks in FrameTrack order (as a sync editor holds them); `tracks` has frameTrackCount.
    static FrameTracks fromTracks(std::span<const SyncTrack> tracks);

    std::span<const SyncTrack> tracks() const { return list; }
    bool hasKeys() const;
    bool hasKeys(FrameTrack track) const { return list[size_t(track)].hasKeys(); }

    // The text images the keyed `text` track shows: one more than the highest number it
    // reaches, or none when it has no keys (the built-in schedule then shows its own).
    std::optional<unsigned> textImagesShown() const;

    // Puts the value of every keyed track at demo time `t` in place of the frame's own.
    // Allocates nothing.
    void direct(FrameAnimation& frame, float t) const;

private:
    std::vector<SyncTrack> list; // one per FrameTrack, in its order
};

// The row of demo time `t` on the grid of rows.
inline double rowAt(double t) { return t * rowsPerBeat; }

} // namespace tincrates

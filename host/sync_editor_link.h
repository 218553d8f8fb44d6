// A maker's run directed from a sync editor: the editor's keys direct the frames, its cursor
// and its pause move and hold music and picture together, its export writes the tracks as the
// production's data/sync.rocket, and the run tells the editor the row it plays.
#pragma once

#include "sync/sync_editor_client.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tincrates {

class MakerMode;
class Timeline;

class SyncEditorLink {
public:
    // `address` as SyncEditorClient takes it; throws its error for a bad port. `maker` is not
    // owned and must outlive this.
    SyncEditorLink(const std::string& address, MakerMode& maker);

    // Before each frame, after the maker's mode has had its turn: takes what the editor sent
    // and carries it out, and directs `timeline` with the editor's tracks when they changed or
    // the timeline is a new one (a reload).
    void beforeFrame(Timeline& timeline, std::chrono::steady_clock::time_point now);

    // After each frame at demo time `t`: tells the editor the row, when it moved (while
    // playing, or by the maker's keys), once the editor has put its own.
    void afterFrame(double t);

    // "editor connected", "editor not connected" or "editor lost", for the status line.
    std::string stateText() const;

    SyncEditorClient client;

private:
    // Writes the editor's tracks to data/sync.rocket and tells how it went.
    void saveTracks();

    MakerMode& maker; // not owned
    SyncEditorClient::State lastState = SyncEditorClient::State::notConnected;
    uint64_t directedGeneration = 0;
    const Timeline* directedTimeline = nullptr; // the timeline last directed; compared only
    bool hasEditorTracks = false;               // whether the editor's tracks direct the run
    std::optional<uint32_t> lastRow;            // the row the editor knows of
    std::string toldProblem;                    // the connection's problem last told
};

} // namespace tincrates

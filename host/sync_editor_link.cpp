#include "host/sync_editor_link.h"

#include "datafiles/data_file.h"
#include "datafiles/replacing_file.h"
#include "host/maker_mode.h"
#include "production/frame_animation.h"
#include "production/frame_tracks.h"
#include "production/timeline.h"
#include "sync/tracks_file.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

namespace tincrates {

SyncEditorLink::SyncEditorLink(const std::string& address, MakerMode& maker)
    : client(frameTrackNameList(), address)
    , maker(maker)
{
    maker.editorState = stateText();
}

void SyncEditorLink::beforeFrame(Timeline& timeline, std::chrono::steady_clock::time_point now)
{
    SyncEditorClient::Requests requests = client.poll(now);
    const SyncEditorClient::State state = client.state();
    if (state != lastState) {
        using State = SyncEditorClient::State;
        if (state == State::connected) {
            std::fprintf(stderr, "tincrates: sync editor at %s connected; its keys direct the "
                "production\n", client.editorAddress().c_str());
            // The editor's document replaces the tracks, keyed or not, from now on.
            hasEditorTracks = true;
            directedTimeline = nullptr;
            lastRow.reset();
            toldProblem.clear();
        } else if (state != State::connecting && client.lastProblem() != toldProblem) {
            // Told once for each new problem, not at each attempt that meets the same one.
            toldProblem = client.lastProblem();
            std::fprintf(stderr, "tincrates: %s; trying again every %lld s\n",
                toldProblem.c_str(), (long long)SyncEditorClient::retryInterval.count());
        }
        lastState = state;
        maker.editorState = stateText();
    }

    if (requests.paused && *requests.paused != maker.isPaused)
        maker.apply({MakerCommandType::TogglePause});
    if (requests.row) {
        maker.apply({MakerCommandType::GoTo, double(*requests.row) / rowsPerBeat});
        // The editor's cursor is there already: no echo.
        lastRow = *requests.row;
    }

    if (hasEditorTracks
        && (directedTimeline != &timeline || client.tracksGeneration() != directedGeneration)) {
        try {
            timeline.direct(FrameTracks::fromTracks(client.tracks()));
        } catch (const std::string& text) {
            maker.reloadError = shortReason(text);
            std::fprintf(stderr, "tincrates: the editor's keys do not load; the last ones "
                "stay:\n%s\n", text.c_str());
        }
        directedTimeline = &timeline;
        directedGeneration = client.tracksGeneration();
    }

    if (requests.saveTracks)
        saveTracks();
}

void SyncEditorLink::afterFrame(double t)
{
    if (client.state() != SyncEditorClient::State::connected)
        return;
    // The editor puts its cursor's row first, right after its greeting; until then the run
    // has nothing to tell it that would not move the cursor from under the maker.
    if (!lastRow)
        return;
    const double row = std::floor(rowAt(std::max(t, 0.0)));
    if (row != double(*lastRow)) {
        lastRow = uint32_t(row);
        client.sendRow(*lastRow);
    }
}

std::string SyncEditorLink::stateText() const
{
    switch (client.state()) {
    case SyncEditorClient::State::connected:
        return "editor connected";
    case SyncEditorClient::State::lost:
        return "editor lost";
    default:
        return "editor not connected";
    }
}

void SyncEditorLink::saveTracks()
{
    const std::string path = std::string(dataFolderName) + "/" + tracksFileName;
    try {
        std::error_code error;
        std::filesystem::create_directories(dataFolderName, error);
        writeWholeFile(path, writeTracksDocument(client.tracks(), endRow));
        size_t keys = 0;
        for (const SyncTrack& track : client.tracks())
            keys += track.keys().size();
        maker.reloadNews = "saved " + path + " (" + std::to_string(keys)
            + (keys == 1 ? " key)" : " keys)");
        std::fprintf(stderr, "tincrates: %s\n", maker.reloadNews.c_str());
    } catch (const std::exception& error) {
        maker.reloadError = error.what();
        std::fprintf(stderr, "tincrates: the editor's tracks are not saved: %s\n", error.what());
    }
}

} // namespace tincrates

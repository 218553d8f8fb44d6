// A maker's run directed live from a sync editor (a stand-in on 127.0.0.1): its keys change
// the next frames, its cursor and pause move and hold the time, its export writes
// data/sync.rocket, and bytes no editor sends end the connection while the run plays on.
#include "host/run_demo.h"

#include "audio/silent_clock.h"
#include "production/frame_animation.h"
#include "production/frame_tracks.h"
#include "support/demo_fixture.h"
#include "support/stand_in_sync_editor.h"
#include "sync/editor_protocol.h"
#include "sync/tracks_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace tincrates {
namespace {

using namespace tincrates::testing;

// Below the status line in the top left corner.
bool isBlack(const std::vector<uint32_t>& pixels)
{
    return std::all_of(pixels.begin() + ptrdiff_t(pixels.size() / 2), pixels.end(),
        [](uint32_t p) { return (p & 0xFFFFFF) == 0; });
}

uint32_t trackNumber(FrameTrack track) { return uint32_t(track); }

struct Frame {
    float t;
    bool isBlack;
};

TEST(SyncEditor, TheEditorDirectsMovesAndHoldsTheRunAndSavesItsTracks)
{
    ScratchDir folder;
    writeTestProduction(folder);
    SelectedSilentClock clock;
    TestServices test;
    StandInSyncEditor editor;
    test.services.isMaker = true;
    test.services.syncEditorAddress = editor.address();
    // No commands are typed: the input stays open and quiet while the run plays.
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    test.services.commandInput = input[0];

    std::string expectedRequests = encodeGreeting();
    for (const std::string& name : frameTrackNameList())
        expectedRequests += encodeGetTrack(name);

    std::vector<Frame> frames;
    std::string requests;           // what the production sent up to its tracks' requests
    size_t step = 0;
    size_t stepFrame = 0;           // the frame at which the step began
    size_t rowsFrom = 0;            // where the rows sent while playing start in received()
    auto next = [&] { ++step; stepFrame = frames.size(); };
    test.services.framePresented = [&](IDirect3DDevice9& device, float t) {
        frames.push_back({t, isBlack(readTarget(device))});
        editor.acceptProduction();
        editor.readAvailable();
        clock.output->advance(5880); // a 30th of a second, when playing
        const bool isWaitedTooLong = frames.size() - stepFrame > 200;
        switch (step) {
        case 0: // greeted: the editor answers, holds the run and puts its cursor on beat 20
            if (editor.received().size() >= 19) {
                editor.send(editorBytes::greeting() + editorBytes::pause(true)
                    + editorBytes::setRow(160));
                next();
            }
            break;
        case 1: // every track asked for: black from row 0, no flash
            if (editor.received().size() >= expectedRequests.size()) {
                requests = editor.received();
                editor.send(editorBytes::setKey(trackNumber(FrameTrack::fade), 0, 1.0f, 0)
                    + editorBytes::setKey(trackNumber(FrameTrack::flash), 0, 0.0f, 0));
                next();
            }
            break;
        case 2:
            if (frames.back().isBlack) {
                editor.send(editorBytes::deleteKey(trackNumber(FrameTrack::fade), 0));
                next();
            }
            break;
        case 3:
            if (!frames.back().isBlack) {
                rowsFrom = editor.received().size();
                editor.send(editorBytes::pause(false));
                next();
            }
            break;
        case 4: // a few rows played and told
            if (editor.received().size() >= rowsFrom + 3 * 5) {
                editor.send(editorBytes::saveTracks());
                next();
            }
            break;
        case 5:
            if (std::filesystem::exists("data/sync.rocket")) {
                editor.send(std::string("\x09", 1));
                next();
            }
            break;
        case 6:
            if (editor.isClosed() && frames.size() - stepFrame > 3)
                next();
            break;
        }
        if (step == 7 || isWaitedTooLong)
            test.window->events.push_back({WindowEventType::KeyDown, true, Key::Escape});
    };
    EXPECT_EQ(runDemo(test.services), 0);
    close(input[0]);
    close(input[1]);
    ASSERT_EQ(step, 7u) << "stopped waiting at step " << step << " with " << editor.received().size() << " bytes received of " << expectedRequests.size();

    EXPECT_TRUE(requests == expectedRequests);
    // The editor's cursor put the run on beat 20 and held it there until it let it play.
    auto black = std::find_if(frames.begin(), frames.end(), [](const Frame& f) { return f.isBlack; });
    ASSERT_NE(black, frames.end());
    EXPECT_NEAR(black->t, 20.0, 0.01);
    EXPECT_GT(frames.back().t, 20.1f);

    // Rows told while playing: SET_ROW commands of rows from 160 on, each a row further.
    std::string told = editor.received().substr(rowsFrom);
    ASSERT_GE(told.size(), 10u);
    EXPECT_EQ(told[0], '\3');
    uint32_t firstRow = uint32_t(uint8_t(told[3])) << 8 | uint8_t(told[4]);
    EXPECT_GE(firstRow, 160u);
    EXPECT_LE(firstRow, 162u);

    // The export: every track, the flash's key, and rows covering the production.
    std::ifstream saved("data/sync.rocket");
    TracksDocument document
        = readTracksDocument(std::string(std::istreambuf_iterator<char>(saved), {}));
    EXPECT_EQ(document.rows, endRow);
    ASSERT_EQ(document.tracks.size(), frameTrackCount);
    EXPECT_EQ(document.tracks[trackNumber(FrameTrack::flash)].keys().size(), 1u);
    EXPECT_FALSE(document.tracks[trackNumber(FrameTrack::fade)].hasKeys());
}

} // namespace
} // namespace tincrates

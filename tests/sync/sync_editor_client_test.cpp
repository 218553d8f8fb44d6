// The production's connection to a sync editor (a stand-in in this test's own thread): the
// greetings, the tracks asked for, the keys and requests that come back, the rows sent.
#include "sync/sync_editor_client.h"

#include "support/stand_in_sync_editor.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

using testing::editorBytes::fromHex;
namespace editorBytes = testing::editorBytes;
using State = SyncEditorClient::State;

const std::string productionGreeting = fromHex("68656c6c6f2c2073796e63747261636b657221");
const std::string askForBothTracks =
    fromHex("02 0000000a 63616d6572613a666f76 02 00000005 666c617368");

std::vector<SyncKey> keysOf(const SyncTrack& track)
{
    return {track.keys().begin(), track.keys().end()};
}

class SyncEditorClientTest : public ::testing::Test {
protected:
    // One poll of the production and one step of the editor; the requests are gathered, the
    // later replacing the earlier as the production would act on them.
    void step()
    {
        SyncEditorClient::Requests polled = client.poll(now);
        if (polled.row)
            requests.row = polled.row;
        if (polled.paused)
            requests.paused = polled.paused;
        requests.saveTracks |= polled.saveTracks;
        generations += client.tracksChangedSinceLastPoll();
        editor.acceptProduction();
        editor.readAvailable();
    }

    bool stepUntil(const std::function<bool()>& isDone)
    {
        return testing::pollUntil([this] { step(); }, isDone);
    }

    // Greets the production as the editor does, with its pause and row, once it has greeted.
    void connect()
    {
        ASSERT_TRUE(stepUntil([this] { return editor.received().size() >= 19; }));
        editor.send(editorBytes::greeting() + editorBytes::pause(true) + editorBytes::setRow(0));
        ASSERT_TRUE(stepUntil([this] {
            return client.state() == State::connected
                && editor.received().size() >= 19 + askForBothTracks.size();
        }));
    }

    std::string problemText(const std::string& why) const
    {
        return "sync editor at " + editor.address() + ": " + why;
    }

    testing::StandInSyncEditor editor;
    SyncEditorClient client{{"camera:fov", "flash"}, editor.address()};
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    SyncEditorClient::Requests requests;
    int generations = 0;
};

TEST_F(SyncEditorClientTest, GreetsAndThenAsksForEachTrackInOrder)
{
    EXPECT_EQ(client.state(), State::notConnected);
    ASSERT_TRUE(stepUntil([this] { return editor.received().size() >= 19; }));
    EXPECT_EQ(editor.received(), productionGreeting);
    EXPECT_EQ(client.state(), State::connecting);

    editor.send(fromHex("68656c6c6f2c2064656d6f21 0401 0300000000"));
    ASSERT_TRUE(stepUntil([this] {
        return editor.received().size() >= productionGreeting.size() + askForBothTracks.size();
    }));
    EXPECT_EQ(editor.received(), productionGreeting + askForBothTracks);
    EXPECT_EQ(client.state(), State::connected);
    EXPECT_EQ(client.lastProblem(), "");
    EXPECT_EQ(requests.paused, true);
    EXPECT_EQ(requests.row, 0u);
}

TEST_F(SyncEditorClientTest, AppliesKeysAsTheyArrive)
{
    connect();
    int generationsBefore = generations;
    editor.send(fromHex("00 00000000 00000000 42700000 02"
                        "00 00000000 00000020 42b40000 01"
                        "00 00000000 00000040 41f00000 00"
                        "00 00000001 00000008 3f800000 03"));
    ASSERT_TRUE(stepUntil([this] { return client.tracks()[1].hasKeys(); }));
    ASSERT_EQ(client.tracks().size(), 2u);
    EXPECT_EQ(client.tracks()[0].name(), "camera:fov");
    EXPECT_EQ(keysOf(client.tracks()[0]),
              (std::vector<SyncKey>{{0, 60, KeyInterpolation::smooth},
                                    {32, 90, KeyInterpolation::linear},
                                    {64, 30, KeyInterpolation::step}}));
    EXPECT_EQ(keysOf(client.tracks()[1]), (std::vector<SyncKey>{{8, 1, KeyInterpolation::ramp}}));
    EXPECT_NEAR(client.tracks()[0].valueAt(8), 64.6875, 1e-6);
    EXPECT_GT(generations, generationsBefore);
}

TEST_F(SyncEditorClientTest, AppliesADeletedKey)
{
    connect();
    editor.send(editorBytes::setKey(1, 36, 2.5f, 0) + editorBytes::setKey(1, 40, 3, 0));
    ASSERT_TRUE(stepUntil([this] { return client.tracks()[1].keys().size() == 2; }));
    editor.send(editorBytes::deleteKey(1, 36));
    ASSERT_TRUE(stepUntil([this] { return client.tracks()[1].keys().size() == 1; }));
    EXPECT_EQ(keysOf(client.tracks()[1]), (std::vector<SyncKey>{{40, 3}}));
}

TEST_F(SyncEditorClientTest, TellsTheLastRowAndPauseAndASaveRequest)
{
    connect();
    requests = {};
    editor.send(editorBytes::setRow(5) + editorBytes::pause(false) + editorBytes::setRow(7)
                + editorBytes::saveTracks());
    ASSERT_TRUE(stepUntil([this] { return requests.saveTracks; }));
    EXPECT_EQ(requests.row, 7u);
    EXPECT_EQ(requests.paused, false);
}

TEST_F(SyncEditorClientTest, SendsTheRowsItPlays)
{
    connect();
    client.sendRow(19);
    client.sendRow(20);
    std::string expected = productionGreeting + askForBothTracks + fromHex("03 00000013 03 00000014");
    ASSERT_TRUE(stepUntil([&] { return editor.received().size() >= expected.size(); }));
    EXPECT_EQ(editor.received(), expected);
}

TEST_F(SyncEditorClientTest, SendsNoRowUntilConnected)
{
    client.sendRow(3);
    connect();
    EXPECT_EQ(editor.received(), productionGreeting + askForBothTracks);
}

TEST_F(SyncEditorClientTest, NamesTheEditorsAddress)
{
    EXPECT_EQ(client.editorAddress(), editor.address());
}

} // namespace
} // namespace tincrates

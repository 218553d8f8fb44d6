// A connection to the sync editor that breaks, or never comes about: the tracks stay, the
// reason is told in one line, and the production tries again two seconds later.
#include "sync/sync_editor_client.h"

#include "support/stand_in_sync_editor.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

using testing::editorBytes::fromHex;
namespace editorBytes = testing::editorBytes;
using State = SyncEditorClient::State;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string askForBothTracks =
    fromHex("02 0000000a 63616d6572613a666f76 02 00000005 666c617368");

class SyncEditorLossTest : public ::testing::Test {
protected:
    void step()
    {
        client.poll(now);
        editor.acceptProduction();
        editor.readAvailable();
    }

    bool stepUntil(const std::function<bool()>& isDone)
    {
        return testing::pollUntil([this] { step(); }, isDone);
    }

    bool hasGreeted() { return editor.received().size() >= 19; }

    void connectWithAKey()
    {
        ASSERT_TRUE(stepUntil([this] { return hasGreeted(); }));
        editor.send(editorBytes::greeting() + editorBytes::pause(true) + editorBytes::setRow(0)
                    + editorBytes::setKey(0, 4, 1.5f, 1));
        ASSERT_TRUE(stepUntil([this] { return client.tracks()[0].hasKeys(); }));
        ASSERT_EQ(client.state(), State::connected);
    }

    // Polls until the connection is lost, the editor having seen its end close.
    bool stepUntilLost()
    {
        return stepUntil([this] { return client.state() == State::lost && editor.isClosed(); });
    }

    std::string problemText(const std::string& why) const
    {
        return "sync editor at " + editor.address() + ": " + why;
    }

    testing::StandInSyncEditor editor;
    SyncEditorClient client{{"camera:fov", "flash"}, editor.address()};
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

TEST_F(SyncEditorLossTest, BytesNoEditorSendsCloseTheConnection)
{
    connectWithAKey();
    editor.send(fromHex("07"));
    ASSERT_TRUE(stepUntilLost());
    EXPECT_EQ(client.lastProblem(),
              problemText("unknown command byte 0x07; connection closed"));
    EXPECT_EQ(client.tracks()[0].keys().size(), 1u);
}

TEST_F(SyncEditorLossTest, AKeyForATrackNeverAskedForClosesTheConnection)
{
    connectWithAKey();
    editor.send(editorBytes::setKey(2, 0, 1, 0));
    ASSERT_TRUE(stepUntilLost());
    EXPECT_EQ(client.lastProblem(),
              problemText("track 2 was never asked for (2 tracks asked for); connection closed"));
}

TEST_F(SyncEditorLossTest, AClosedEditorLosesTheConnectionAndKeepsTheKeys)
{
    connectWithAKey();
    editor.closeProduction();
    ASSERT_TRUE(stepUntil([this] { return client.state() == State::lost; }));
    EXPECT_EQ(client.lastProblem(), problemText("the editor closed the connection"));
    EXPECT_EQ(client.tracks()[0].keys().size(), 1u);
    EXPECT_EQ(client.tracks()[0].valueAt(9), 1.5);
}

TEST_F(SyncEditorLossTest, ACommandCutShortThenClosedLosesTheConnection)
{
    connectWithAKey();
    editor.send(editorBytes::setKey(1, 8, 1, 3).substr(0, 6));
    editor.closeProduction();
    ASSERT_TRUE(stepUntil([this] { return client.state() == State::lost; }));
    EXPECT_EQ(client.lastProblem(),
              problemText("the editor closed the connection within a command"));
    EXPECT_FALSE(client.tracks()[1].hasKeys());
}

TEST_F(SyncEditorLossTest, AGreetingCutShortLosesTheConnection)
{
    ASSERT_TRUE(stepUntil([this] { return hasGreeted(); }));
    editor.send("hello, de");
    editor.closeProduction();
    ASSERT_TRUE(stepUntil([this] { return client.state() == State::lost; }));
    EXPECT_EQ(client.lastProblem(), problemText("the connection closed during the greeting"));
}

TEST_F(SyncEditorLossTest, AnotherGreetingLosesTheConnection)
{
    ASSERT_TRUE(stepUntil([this] { return hasGreeted(); }));
    editor.send("HTTP/1.1 400 Bad Request\r\n");
    ASSERT_TRUE(stepUntilLost());
    EXPECT_EQ(client.lastProblem(), problemText("no sync editor's greeting; connection closed"));
}

TEST_F(SyncEditorLossTest, APeerThatNeverGreetsCountsAsAFailure)
{
    ASSERT_TRUE(stepUntil([this] { return hasGreeted(); }));
    now += seconds(4);
    step();
    EXPECT_EQ(client.state(), State::connecting);
    now += seconds(1);
    step();
    EXPECT_EQ(client.state(), State::lost);
    EXPECT_EQ(client.lastProblem(), problemText("no answer within 5 s"));
}

TEST_F(SyncEditorLossTest, ReconnectsTwoSecondsLaterAndAsksAgain)
{
    connectWithAKey();
    editor.closeProduction();
    ASSERT_TRUE(stepUntil([this] { return client.state() == State::lost; }));

    now += milliseconds(1999);
    step();
    EXPECT_EQ(client.state(), State::lost);

    now += milliseconds(1);
    ASSERT_TRUE(stepUntil([this] { return hasGreeted(); }));
    EXPECT_EQ(client.state(), State::connecting);
    EXPECT_TRUE(client.tracks()[0].hasKeys()) << "keys are kept until the editor answers";

    editor.send(editorBytes::greeting() + editorBytes::pause(true) + editorBytes::setRow(0));
    ASSERT_TRUE(stepUntil([this] { return editor.received().size() >= 19 + askForBothTracks.size(); }));
    EXPECT_EQ(editor.received().substr(19), askForBothTracks);
    EXPECT_EQ(client.state(), State::connected);
    EXPECT_FALSE(client.tracks()[0].hasKeys());

    editor.send(editorBytes::setKey(1, 2, 5, 0));
    ASSERT_TRUE(stepUntil([this] { return client.tracks()[1].hasKeys(); }));
    EXPECT_FALSE(client.tracks()[0].hasKeys());
}

TEST_F(SyncEditorLossTest, NothingListeningIsToldAndTriedAgainLater)
{
    editor.stopListening();
    ASSERT_TRUE(stepUntil([this] { return client.state() == State::notConnected
                                       && !client.lastProblem().empty(); }));
    EXPECT_EQ(client.lastProblem(), problemText("cannot connect: Connection refused"));
    now += seconds(1);
    step();
    EXPECT_EQ(client.state(), State::notConnected);
}

TEST(SyncEditorAddress, DefaultsToTheEditorsPortOnThisMachine)
{
    EXPECT_EQ(SyncEditorClient({"a"}, "").editorAddress(), "localhost:1338");
    EXPECT_EQ(SyncEditorClient({"a"}, "editor.local").editorAddress(), "editor.local:1338");
    EXPECT_EQ(SyncEditorClient({"a"}, "10.0.0.2:4000").editorAddress(), "10.0.0.2:4000");
    EXPECT_EQ(SyncEditorClient({"a"}, ":4000").editorAddress(), "localhost:4000");
    EXPECT_EQ(SyncEditorClient({"a"}, "[::1]:4000").editorAddress(), "[::1]:4000");
    EXPECT_EQ(SyncEditorClient({"a"}, "::1").editorAddress(), "[::1]:1338");
}

TEST(SyncEditorAddress, RefusesAPortOutOfRange)
{
    for (const char* address : {"host:", "host:0", "host:65536", "host:12a", "host:999999"}) {
        try {
            SyncEditorClient({"a"}, address);
            ADD_FAILURE() << address;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), "sync editor address \"" + std::string(address)
                                        + "\": the port is not a number in 1..65535");
        }
    }
}

} // namespace
} // namespace tincrates

// The production's side of a live connection to the sync editor: asks for its tracks, takes
// the keys the maker edits, and follows and reports the row. Polled once per frame from the
// frame loop's thread; nothing it does waits on the network.
#pragma once

#include "sync/sync_track.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tincrates {

// Where a sync editor listens.
struct EditorAddress {
    std::string host;
    uint16_t port;
};

// Reads "HOST", "HOST:PORT", "[IPV6]" or "[IPV6]:PORT"; an empty host is localhost and a
// missing port the editor's own (1338). None, with the reason in `problem`, for a port that is
// not a number in 1..65535 or an IPv6 address without its "]". Whether the host can be reached
// is for a connection to find out.
std::optional<EditorAddress> readEditorAddress(const std::string& address, std::string& problem);

class SyncEditorClient {
public:
    static constexpr uint16_t defaultPort = 1338;
    // Between a failed or lost connection and the next attempt.
    static constexpr std::chrono::seconds retryInterval{2};
    // From the start of an attempt to the editor's greeting; an address that stays silent
    // counts as a failure after this.
    static constexpr std::chrono::seconds answerTimeLimit{5};

    enum class State {
        notConnected, // before the first attempt, or the last attempt reached no editor
        connecting,   // connecting, or waiting for the editor's greeting
        connected,    // greeted; keys and requests arrive
        lost,         // the last connection was closed because of a problem (lastProblem)
    };

    // What the editor asked for since the last poll: the last row and pause of the batch, and
    // whether it asked for the tracks to be saved.
    struct Requests {
        std::optional<uint32_t> row;
        std::optional<bool> paused;
        bool saveTracks = false;
    };

    // `trackNames`: the tracks in the order the production asks for them, none empty or
    // holding a NUL byte. `address`: "HOST", "HOST:PORT" or "" for localhost and the editor's
    // port; throws std::runtime_error for a port that is not a number in 1..65535. Connects
    // at the first poll.
    SyncEditorClient(std::vector<std::string> trackNames, std::string address);
    ~SyncEditorClient();
    SyncEditorClient(const SyncEditorClient&) = delete;
    SyncEditorClient& operator=(const SyncEditorClient&) = delete;

    // Once per frame. Starts an attempt when it is time (at once, then retryInterval after a
    // failure or a loss), carries on with an attempt in progress, sends what waits to be
    // sent, reads whatever has arrived without waiting, and applies the editor's key changes
    // to tracks(). A new connection drops the keys of the last one before it asks for the
    // tracks again. Bytes no editor sends, a closed socket or a socket error close the
    // connection (the tracks stay as they were) and are told by lastProblem().
    Requests poll(std::chrono::steady_clock::time_point now);

    // Tells the editor the row the production plays; ignored unless connected. An unsent
    // row is replaced by a newer one, so a stalled editor holds up at most one.
    void sendRow(uint32_t row);

    State state() const { return currentState; }

    // One line saying why the connection closed or the last attempt failed; "" after a
    // successful connection and before any problem.
    const std::string& lastProblem() const { return problem; }

    // One track per name, in the order of the names.
    std::span<const SyncTrack> tracks() const { return syncTracks; }

    // Whether the last poll changed any key; tracksGeneration() counts such polls.
    bool tracksChangedSinceLastPoll() const { return changedInLastPoll; }
    uint64_t tracksGeneration() const { return generation; }

    // "HOST:PORT", as the problems name it.
    const std::string& editorAddress() const { return hostAndPort; }

private:
    class Connection;

    void startAttempt(std::chrono::steady_clock::time_point now);
    void closeConnection(State newState, const std::string& why,
                         std::chrono::steady_clock::time_point now);
    void becomeConnected();
    void readAvailable(Requests& requests);
    void applyCommands(Requests& requests);

    std::vector<SyncTrack> syncTracks;
    std::string host;
    uint16_t port = defaultPort;
    std::string hostAndPort;
    State currentState = State::notConnected;
    std::string problem;
    std::optional<std::chrono::steady_clock::time_point> nextAttemptAt;
    bool changedInLastPoll = false;
    uint64_t generation = 0;
    std::unique_ptr<Connection> connection;
};

} // namespace tincrates

// The bytes of the sync editor's connection, without the socket: what the production sends,
// and the commands read out of what the editor sends, which arrive in pieces and batches.
#pragma once

#include "sync/sync_track.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tincrates {

// The editor's command bytes, in its own numbering.
enum class EditorCommandByte : uint8_t {
    setKey = 0,
    deleteKey = 1,
    getTrack = 2,
    setRow = 3,
    pause = 4,
    saveTracks = 5,
};

// The greeting each side sends first.
constexpr std::string_view productionGreeting = "hello, synctracker!";
constexpr std::string_view editorGreeting = "hello, demo!";

// The largest row either side may name: rows are signed 32-bit numbers in the editor.
constexpr uint32_t largestSyncRow = 2147483647;

// Bytes from the editor that no editor sends; the text is one line saying why.
class EditorProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One command of the editor's. Which fields hold something depends on the kind: setKey
// `track` and `key`; deleteKey `track` and `key.row`; setRow `row`; pause `paused`.
struct EditorCommand {
    enum class Kind { setKey, deleteKey, setRow, pause, saveTracks } kind = Kind::setRow;
    uint32_t track = 0;
    SyncKey key;
    uint32_t row = 0;
    bool paused = false;

    bool operator==(const EditorCommand&) const = default;
};

// Checks the editor's greeting, which may arrive in pieces.
class EditorGreetingReader {
public:
    // Takes the greeting's bytes from the front of `bytes` and returns how many it took; the
    // rest are the first commands. Throws EditorProtocolError when a byte differs from the
    // greeting.
    size_t append(std::span<const uint8_t> bytes);

    bool isComplete() const { return received == editorGreeting.size(); }

private:
    size_t received = 0;
};

// Reads the editor's commands, after its greeting, out of the bytes as they arrive.
class EditorMessageReader {
public:
    // `trackCount`: how many tracks the production asked for on this connection.
    explicit EditorMessageReader(uint32_t trackCount);

    // Keeps `bytes` after those still unread.
    void append(std::span<const uint8_t> bytes);

    // The next whole command, or nothing until more bytes come. Throws EditorProtocolError for
    // an unknown command byte, a track number beyond those asked for, an interpolation beyond
    // 3, a value that is not a finite number, a row beyond largestSyncRow or a PAUSE byte
    // other than 0 and 1; the bytes stay unread, so the reader throws the same again.
    std::optional<EditorCommand> next();

    // Whether bytes of a command not yet whole are kept.
    bool hasPartialCommand() const { return unread < bytes.size(); }

private:
    uint32_t trackCount;
    std::vector<uint8_t> bytes;
    size_t unread = 0;
};

// What the production sends: its greeting, GET_TRACK for a name (neither empty nor holding a
// NUL byte, which would upset the editor for good) and SET_ROW.
std::string encodeGreeting();
std::string encodeGetTrack(std::string_view name);
std::string encodeSetRow(uint32_t row);

} // namespace tincrates

// The sync editor's wire format: big-endian 32-bit integers, values as float32 bit patterns.
#include "sync/editor_protocol.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <cstdio>

namespace tincrates {

namespace {

// The length of each command the editor sends, its byte included; 0 for a byte it never
// sends to a production.
size_t commandLength(uint8_t commandByte)
{
    switch (EditorCommandByte(commandByte)) {
    case EditorCommandByte::setKey:
        return 1 + 4 + 4 + 4 + 1;
    case EditorCommandByte::deleteKey:
        return 1 + 4 + 4;
    case EditorCommandByte::setRow:
        return 1 + 4;
    case EditorCommandByte::pause:
        return 1 + 1;
    case EditorCommandByte::saveTracks:
        return 1;
    case EditorCommandByte::getTrack:
        break;
    }
    return 0;
}

uint32_t readUint32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

void appendUint32(std::string& out, uint32_t value)
{
    out += char(value >> 24);
    out += char(value >> 16);
    out += char(value >> 8);
    out += char(value);
}

std::string hexByte(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", unsigned(value));
    return text;
}

std::string hexWord(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", unsigned(value));
    return text;
}

uint32_t checkedTrack(uint32_t track, uint32_t trackCount)
{
    if (track >= trackCount)
        throw EditorProtocolError("track " + std::to_string(track) + " was never asked for ("
                                  + std::to_string(trackCount) + " tracks asked for)");
    return track;
}

uint32_t checkedRow(uint32_t row)
{
    if (row > largestSyncRow)
        throw EditorProtocolError("row " + std::to_string(row) + " beyond "
                                  + std::to_string(largestSyncRow));
    return row;
}

} // namespace

size_t EditorGreetingReader::append(std::span<const uint8_t> bytes)
{
    size_t taken = 0;
    while (taken < bytes.size() && !isComplete()) {
        if (bytes[taken] != uint8_t(editorGreeting[received]))
            throw EditorProtocolError("no sync editor's greeting");
        ++taken;
        ++received;
    }
    return taken;
}

EditorMessageReader::EditorMessageReader(uint32_t trackCount)
    : trackCount(trackCount)
{
}

void EditorMessageReader::append(std::span<const uint8_t> more)
{
    // Commands are short, so what is kept unread is too: moving it down is cheap, and the
    // buffer keeps its capacity from one batch to the next.
    if (unread > 0) {
        bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(unread));
        unread = 0;
    }
    bytes.insert(bytes.end(), more.begin(), more.end());
}

std::optional<EditorCommand> EditorMessageReader::next()
{
    if (unread == bytes.size())
        return std::nullopt;
    const uint8_t* at = bytes.data() + unread;
    size_t length = commandLength(at[0]);
    if (length == 0)
        throw EditorProtocolError("unknown command byte " + hexByte(at[0]));
    if (bytes.size() - unread < length)
        return std::nullopt;

    EditorCommand command;
    switch (EditorCommandByte(at[0])) {
    case EditorCommandByte::setKey: {
        command.kind = EditorCommand::Kind::setKey;
        command.track = checkedTrack(readUint32(at + 1), trackCount);
        command.key.row = checkedRow(readUint32(at + 5));
        uint32_t valueBits = readUint32(at + 9);
        command.key.value = std::bit_cast<float>(valueBits);
        if (!std::isfinite(command.key.value))
            throw EditorProtocolError("value " + hexWord(valueBits) + " is not a finite number");
        if (at[13] > uint8_t(KeyInterpolation::ramp))
            throw EditorProtocolError("interpolation " + std::to_string(at[13])
                                      + " is not one of 0..3");
        command.key.interpolation = KeyInterpolation(at[13]);
        break;
    }
    case EditorCommandByte::deleteKey:
        command.kind = EditorCommand::Kind::deleteKey;
        command.track = checkedTrack(readUint32(at + 1), trackCount);
        command.key.row = checkedRow(readUint32(at + 5));
        command.row = command.key.row;
        break;
    case EditorCommandByte::setRow:
        command.kind = EditorCommand::Kind::setRow;
        command.row = checkedRow(readUint32(at + 1));
        break;
    case EditorCommandByte::pause:
        command.kind = EditorCommand::Kind::pause;
        if (at[1] > 1)
            throw EditorProtocolError("PAUSE byte " + hexByte(at[1]) + " is neither 0 nor 1");
        command.paused = at[1] == 1;
        break;
    case EditorCommandByte::saveTracks:
        command.kind = EditorCommand::Kind::saveTracks;
        break;
    case EditorCommandByte::getTrack:
        assert(false && "commandLength refuses GET_TRACK");
        break;
    }
    unread += length;
    return command;
}

std::string encodeGreeting()
{
    return std::string(productionGreeting);
}

std::string encodeGetTrack(std::string_view name)
{
    // The editor refuses every later production after such a name until it is restarted.
    assert(!name.empty() && name.find('\0') == std::string_view::npos);
    assert(name.size() <= largestSyncRow);
    std::string out(1, char(EditorCommandByte::getTrack));
    appendUint32(out, uint32_t(name.size()));
    out += name;
    return out;
}

std::string encodeSetRow(uint32_t row)
{
    std::string out(1, char(EditorCommandByte::setRow));
    appendUint32(out, row);
    return out;
}

} // namespace tincrates

// An input as what a sync editor sends after its greeting: the first byte says how many
// tracks were asked for, the second how the rest is cut into pieces. Read whole and read in
// pieces, it must give the same commands and the same refusal.
#include "fuzz/fuzz_target.h"
#include "sync/editor_protocol.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Reading {
    std::vector<tincrates::EditorCommand> commands;
    std::string refusal;
};

Reading readInPieces(std::span<const uint8_t> bytes, uint32_t trackCount, uint8_t cut)
{
    Reading reading;
    tincrates::EditorMessageReader reader(trackCount);
    size_t at = 0;
    size_t piece = 0;
    try {
        while (at < bytes.size()) {
            // Piece lengths 1..16 from the bits of `cut`; 0 reads everything at once.
            size_t length = cut == 0 ? bytes.size() : 1 + ((cut >> (piece++ % 5)) & 15);
            length = std::min(length, bytes.size() - at);
            reader.append(bytes.subspan(at, length));
            at += length;
            while (std::optional<tincrates::EditorCommand> command = reader.next())
                reading.commands.push_back(*command);
        }
    } catch (const tincrates::EditorProtocolError& error) {
        reading.refusal = error.what();
    }
    return reading;
}

} // namespace

TINCRATES_FUZZ_TARGET(editor_protocol)
{
    if (input.size() < 2)
        return;
    uint32_t trackCount = input[0];
    std::span<const uint8_t> bytes = input.subspan(2);

    tincrates::EditorGreetingReader greeting;
    try {
        greeting.append(bytes);
    } catch (const tincrates::EditorProtocolError&) {
    }

    Reading whole = readInPieces(bytes, trackCount, 0);
    Reading pieces = readInPieces(bytes, trackCount, input[1]);
    if (whole.commands != pieces.commands || whole.refusal != pieces.refusal)
        std::abort();
}

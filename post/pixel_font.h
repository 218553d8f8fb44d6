// A 5 × 7 pixel font for printable ASCII, written straight into 32-bit pixels: the labels of
// the contact sheet and the status text laid over the picture use it, so they read alike.
#pragma once

#include <cstdint>
#include <string_view>

namespace tincrates {

constexpr int glyphWidth = 5;       // pixels, at scale 1
constexpr int glyphHeight = 7;      // pixels, at scale 1
constexpr int characterAdvance = 6; // pixels from one character to the next, at scale 1
constexpr int lineAdvance = 9;      // pixels from one line to the next, at scale 1

// One character's picture: seven rows, top first, of five pixels each, '#' lit, '.' unlit.
struct Glyph {
    char character;
    const char* rows[glyphHeight];
};

// The glyph shown for `character`: its own for ' ' to '~', the one of '?' for any other.
const Glyph& glyphFor(char character);

// Pixels to write into, 0xAARRGGBB, top row first; not owned.
struct PixelView {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0; // pixels from the start of one row to the start of the next, at least width
};

// How much room a text takes, in characters: the longest line and the number of lines.
struct TextExtent {
    int columns = 0;
    int rows = 0;
};

// The room `text` takes as writeText lays it out: lines separated by '\n', each byte from ' '
// to '~' one character, and so every other byte, except that a UTF-8 sequence of several
// bytes counts once (it shows as a single '?'). An empty text has one line of no characters.
TextExtent measureText(std::string_view text);

// Writes `text` into `target` in `colour`, each font pixel a block of scale × scale pixels:
// the first glyph's top left pixel at (x, y), each character `characterAdvance` × scale
// further right, each line `lineAdvance` × scale further down, back at x. Only lit pixels are
// written; those outside the target are left out, so a text may start or run off any edge.
// Throws "text scale must be at least 1" for a smaller scale.
void writeText(PixelView target, int x, int y, std::string_view text, uint32_t colour,
    int scale = 1);

} // namespace tincrates

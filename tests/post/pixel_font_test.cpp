// The pixel font: a glyph for every printable character, none alike, and texts written where
// they belong, at any scale, clipped at every edge of the pixels.
#include "post/pixel_font.h"

#include "support/error_of.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tincrates {
namespace {

constexpr uint32_t ink = 0xFFFFFFFF, paper = 0xFF203040;

// A glyph as one string of 35 '#' and '.', row after row.
std::string bitsOf(const Glyph& glyph)
{
    std::string bits;
    for (const char* row : glyph.rows)
        bits += row;
    return bits;
}

struct Canvas {
    Canvas(int width, int height, int pitch = 0)
        : width(width), height(height), pitch(pitch ? pitch : width),
          pixels(size_t(this->pitch) * height, paper)
    {
    }
    PixelView view() { return {pixels.data(), width, height, pitch}; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * pitch + x]; }
    // The pixels as rows of '#' for ink and '.' for anything else.
    std::vector<std::string> picture() const
    {
        std::vector<std::string> rows;
        for (int y = 0; y < height; ++y) {
            std::string row;
            for (int x = 0; x < width; ++x)
                row += at(x, y) == ink ? '#' : '.';
            rows.push_back(row);
        }
        return rows;
    }

    int width, height, pitch;
    std::vector<uint32_t> pixels;
};

TEST(PixelFont, EveryPrintableCharacterHasAGlyphOfFiveBySevenPixels)
{
    for (int c = ' '; c <= '~'; ++c) {
        const Glyph& glyph = glyphFor(char(c));
        EXPECT_EQ(glyph.character, char(c)) << "glyph out of place for " << char(c);
        const std::string bits = bitsOf(glyph);
        for (const char* row : glyph.rows)
            EXPECT_EQ(std::string(row).size(), 5u) << char(c);
        EXPECT_EQ(bits.find_first_not_of("#."), std::string::npos) << char(c);
        if (c == ' ')
            EXPECT_EQ(bits.find('#'), std::string::npos);
        else
            EXPECT_NE(bits.find('#'), std::string::npos) << char(c) << " shows nothing";
    }
}

TEST(PixelFont, DistinctCharactersHaveDistinctGlyphs)
{
    std::set<std::string> seen;
    for (int c = ' '; c <= '~'; ++c)
        EXPECT_TRUE(seen.insert(bitsOf(glyphFor(char(c)))).second)
            << char(c) << " looks like a character before it";
}

TEST(PixelFont, OtherBytesShowAsAQuestionMark)
{
    const Glyph* question = &glyphFor('?');
    for (int c : {0, int('\t'), int('\r'), 31, 127, 0x80, 0xC3, 0xFF})
        EXPECT_EQ(&glyphFor(char(c)), question) << c;

    // A UTF-8 letter of two, three or four bytes is one character, shown as one '?'.
    Canvas accented(30, 7), plain(30, 7);
    writeText(accented.view(), 0, 0, "n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!", ink);
    writeText(plain.view(), 0, 0, "n?" "?" "?!", ink); // split: no trigraph warnings
    EXPECT_EQ(accented.pixels, plain.pixels);
    EXPECT_EQ(measureText("n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!").columns, 5);
    // A stray continuation byte or a cut sequence still shows, as a '?' of its own.
    EXPECT_EQ(measureText("a\xA9" "b").columns, 3);
    EXPECT_EQ(measureText("a\xC3").columns, 2);
}

TEST(PixelFont, MeasuresTheLongestLineAndTheNumberOfLines)
{
    EXPECT_EQ(measureText("").columns, 0);
    EXPECT_EQ(measureText("").rows, 1);
    EXPECT_EQ(measureText("beat 96.25").columns, 10);
    const TextExtent two = measureText("abc\nlonger line\nx");
    EXPECT_EQ(two.columns, 11);
    EXPECT_EQ(two.rows, 3);
    // Lines are separated by '\n': a last one adds an empty line.
    EXPECT_EQ(measureText("a\n").rows, 2);
}

TEST(PixelFont, WritesTheGlyphWithItsTopLeftPixelAtThePosition)
{
    Canvas canvas(8, 9);
    writeText(canvas.view(), 2, 1, "4", ink);
    EXPECT_EQ(canvas.picture(), (std::vector<std::string>{
                                    "........",
                                    ".....#..",
                                    "....##..",
                                    "...#.#..",
                                    "..#..#..",
                                    "..#####.",
                                    ".....#..",
                                    ".....#..",
                                    "........",
                                }));
    // Unlit pixels are left as they were.
    EXPECT_EQ(canvas.at(0, 0), paper);
}

TEST(PixelFont, StepsSixPixelsAlongAndNineDownAtEachNewLine)
{
    Canvas text(40, 30), single(40, 30);
    writeText(text.view(), 3, 2, "ab\ncd", ink);
    // Each glyph alone, where the layout puts it.
    writeText(single.view(), 3, 2, "a", ink);
    writeText(single.view(), 3 + 6, 2, "b", ink);
    writeText(single.view(), 3, 2 + 9, "c", ink);
    writeText(single.view(), 3 + 6, 2 + 9, "d", ink);
    EXPECT_EQ(text.picture(), single.picture());
}

TEST(PixelFont, ScaleMakesEachFontPixelASquareBlock)
{
    Canvas small(12, 16), large(36, 48);
    writeText(small.view(), 1, 2, "t=", ink);
    writeText(large.view(), 3, 6, "t=", ink, 3);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 36; ++x)
            ASSERT_EQ(large.at(x, y), small.at(x / 3, y / 3)) << x << ", " << y;
}

TEST(PixelFont, ClipsAtEveryEdgeAndWritesNothingOutside)
{
    // The text written into a large canvas, then cropped, is what a small one must show.
    const std::string text = "Error: line 3\nfile not found";
    Canvas whole(120, 60);
    writeText(whole.view(), 10 + -7, 10 + -4, text, ink, 2);
    // A 40 × 20 window from (10, 10), in pixels whose rows are 48 wide: the 8 pixels past
    // each row's end belong to someone else and must keep their colour.
    Canvas window(40, 20, 48);
    writeText(window.view(), -7, -4, text, ink, 2);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(window.at(x, y), whole.at(x + 10, y + 10)) << x << ", " << y;
        for (int x = 40; x < 48; ++x)
            ASSERT_EQ(window.at(x, y), paper) << "written past the row's end at " << y;
    }
    EXPECT_NE(std::count(window.pixels.begin(), window.pixels.end(), ink), 0);

    // Off the canvas, even where a long text at a large scale walks past the range of int,
    // nothing is written.
    Canvas untouched(16, 16);
    writeText(untouched.view(), -1000, 3, "far left", ink);
    writeText(untouched.view(), 3, -1000, "far above", ink);
    writeText(untouched.view(), 16, 0, std::string(5000, 'W'), ink, 1 << 20);
    writeText(untouched.view(), 0, 16, "below\nand below", ink, 1 << 20);
    EXPECT_EQ(std::count(untouched.pixels.begin(), untouched.pixels.end(), ink), 0);
}

TEST(PixelFont, RefusesAScaleBelowOneAndIgnoresAnEmptyTarget)
{
    Canvas canvas(8, 8);
    EXPECT_EQ(testing::errorOf([&] { writeText(canvas.view(), 0, 0, "x", ink, 0); }),
              "text scale must be at least 1");
    writeText(PixelView{}, 0, 0, "nothing to write into", ink);
    writeText(PixelView{canvas.pixels.data(), 0, 8, 8}, 0, 0, "no width", ink);
    EXPECT_EQ(std::count(canvas.pixels.begin(), canvas.pixels.end(), ink), 0);
}

} // namespace
} // namespace tincrates

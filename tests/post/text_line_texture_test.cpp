// What a text line's texture holds: its text in the pixel font on a dark box that fits it,
// cut to the line's columns and rows, redrawn whole when the text changes and only then.
#include "post/text_line.h"

#include "post/pixel_font.h"
#include "published_device.h"
#include "text_line_texels.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

const std::string statusText = "beat 96.25  phrase 13 beat 1/8  text 10  29 fps  paused  loop\n"
                               "crate.material: line 3: Error reading end tag.";

class TextLineTexture : public ::testing::Test {
protected:
    HeadlessDevice device{8, 8};
    PublishedDevice published{device.get()};
};

TEST_F(TextLineTexture, HoldsWhiteLettersOnABoxThatFitsTheText)
{
    TextLine line(80, 2);
    EXPECT_EQ(line.textureWidth, 481);
    EXPECT_EQ(line.textureHeight, 18);
    line.setText(statusText);
    EXPECT_EQ(line.text(), statusText);
    // The longer line has 61 characters: a texel of box before the first glyph and after
    // the last one's spacing, and a row above and below each line's glyphs.
    EXPECT_EQ(line.boxWidth, 61 * 6 + 1);
    EXPECT_EQ(line.boxHeight, 2 * 9);

    const auto texels = texelsOf(line);
    std::vector<uint32_t> letters(texels.size(), 0);
    writeText({letters.data(), 481, 18, 481}, 1, 1, statusText, 0xFFFFFFFF);
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 481; ++x) {
            const size_t i = size_t(y) * 481 + x;
            const uint32_t expected = letters[i] ? TextLine::letterColour
                : x < line.boxWidth                ? TextLine::boxColour
                                                   : 0u;
            ASSERT_EQ(texels[i], expected) << x << ", " << y;
        }
    // Known places: the first line's 'b' from (1, 1), the second's 'c' from (1, 10).
    for (int row = 0; row < 7; ++row)
        for (int column = 0; column < 5; ++column) {
            const bool isLitB = glyphFor('b').rows[row][column] == '#';
            const bool isLitC = glyphFor('c').rows[row][column] == '#';
            EXPECT_EQ(texels[size_t(1 + row) * 481 + 1 + column] == 0xFFFFFFFF, isLitB);
            EXPECT_EQ(texels[size_t(10 + row) * 481 + 1 + column] == 0xFFFFFFFF, isLitC);
        }
    // A translucent box: the picture must show through it, darkened.
    EXPECT_GT(TextLine::boxColour >> 24, 0x80u);
    EXPECT_LT(TextLine::boxColour >> 24, 0xFFu);
}

TEST_F(TextLineTexture, CutsLongLinesAndLeavesOutRowsPastTheLast)
{
    TextLine cut(10, 1), fitting(10, 1);
    cut.setText("0123456789ABCDEF\nsecond line");
    fitting.setText("0123456789");
    EXPECT_EQ(cut.boxWidth, 61);
    EXPECT_EQ(cut.boxHeight, 9);
    EXPECT_EQ(texelsOf(cut), texelsOf(fitting));
    // The whole text is kept, for the caller to compare with.
    EXPECT_EQ(cut.text(), "0123456789ABCDEF\nsecond line");
}

TEST_F(TextLineTexture, ANewTextLeavesNothingOfTheOldOne)
{
    TextLine changed(40, 3), fresh(40, 3);
    changed.setText("Failed to load crate.material\nline 3: Error\nthird");
    changed.setText("paused");
    fresh.setText("paused");
    EXPECT_EQ(texelsOf(changed), texelsOf(fresh));
    EXPECT_EQ(changed.boxWidth, 6 * 6 + 1);
    EXPECT_EQ(changed.boxHeight, 9);

    changed.setText("");
    EXPECT_EQ(changed.boxWidth, 0);
    for (uint32_t texel : texelsOf(changed))
        ASSERT_EQ(texel, 0u);
}

TEST_F(TextLineTexture, TheSameTextAgainLeavesTheTextureAlone)
{
    TextLine line(20, 1);
    line.setText("beat 12.50");
    // A mark that only a redraw would wipe out.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(line.image.texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFF00FF00;
    line.image.texture->UnlockRect(0);

    for (int frame = 0; frame < 3; ++frame)
        line.setText(std::string("beat 12.50"));
    EXPECT_EQ(texelsOf(line)[0], 0xFF00FF00u);

    line.setText("beat 12.75");
    EXPECT_EQ(texelsOf(line)[0], TextLine::boxColour);
}

} // namespace
} // namespace tincrates

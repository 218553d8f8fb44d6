// A few lines of text laid over the top left corner of the picture, such as a maker's status
// line: white pixel-font letters on a translucent dark box, texel for pixel at a whole scale,
// so they stay crisp at any picture size.
#pragma once

#include "assets/texture.h"
#include "platform/gpu/d3d9.h"
#include "post/screen_quad.h"

#include <cstdint>
#include <string>

namespace tincrates {

class TextLine {
public:
    static constexpr uint32_t letterColour = 0xFFFFFFFF;
    // The picture shows through the box at a quarter of its brightness.
    static constexpr uint32_t boxColour = 0xC0000000;
    // Pixels between the target's top left corner and the box, at scale 1.
    static constexpr int margin = 4;
    // The most a text line holds, so that its texture stays within 2048 × 2048 texels.
    static constexpr int mostColumns = 341;
    static constexpr int mostRows = 227;

    // Room for `maxRows` lines of `maxColumns` characters (a managed A8R8G8B8 texture made
    // here, once), on the shared device; shows nothing until setText. Throws "a text line
    // holds 1 to 341 columns and 1 to 227 rows", "no graphics device", "failed to create the
    // text texture" or the errors of ScreenQuad; nothing is held after a throw.
    TextLine(int maxColumns, int maxRows);
    TextLine(const TextLine&) = delete;
    TextLine& operator=(const TextLine&) = delete;
    ~TextLine() = default;

    // Shows `text` from the next draw on: lines separated by '\n', each cut after maxColumns
    // characters, lines after maxRows left out (characters are counted as in measureText).
    // The texture is redrawn only when the text differs from the one shown, so calling this
    // every frame costs a comparison. Throws "failed to lock the text texture", keeping the
    // text shown before.
    void setText(const std::string& text);
    // The text last set (whole, before any cut).
    const std::string& text() const { return shownText; }

    // Draws the text's box over the current render target of targetWidth × targetHeight
    // pixels, `margin` × scale pixels from its top left corner, each texel exactly
    // scale × scale pixels, blended by source alpha. Draws nothing while the text has no
    // characters ("" or only line breaks).
    // Call between BeginScene and EndScene. Leaves the states ScreenQuad::draw leaves
    // (alpha blending off, its texture, stage and transform states) and sampler 0's filters
    // as they were. Throws "text scale must be at least 1" or "text target has no pixels"
    // for a zero width or height.
    void draw(UINT targetWidth, UINT targetHeight, int scale);

    // The scale that keeps the text the same share of a picture `targetHeight` pixels high
    // as it has at 480 lines, in whole steps: 1 up to 959 lines, 2 at 1080, 4 at 2160.
    static int scaleFor(UINT targetHeight);

private:
    IDirect3DDevice9& device; // the shared device, not owned
    int maxColumns = 0;
    int maxRows = 0;
    std::string shownText;

public:
    // Read-only for callers.
    int textureWidth = 0;  // texels: maxColumns characters and a column either side
    int textureHeight = 0; // texels: maxRows lines, with a row above and below
    int boxWidth = 0;      // texels from the left edge of the texture; 0 without text
    int boxHeight = 0;     // texels from the top edge of the texture; 0 without text
    Texture image;         // holds the texture, owned
    ScreenQuad quad;       // draws `image`
};

} // namespace tincrates

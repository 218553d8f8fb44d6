// Text lines: a pixel-font texture redrawn when its text changes, laid texel for pixel block
// over the top left corner of the picture.
#include "post/text_line.h"

#include "post/pixel_font.h"
#include "post/screen_vertex.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace tincrates {
namespace {

int checkedColumns(int maxColumns, int maxRows)
{
    if (maxColumns < 1 || maxColumns > TextLine::mostColumns || maxRows < 1
        || maxRows > TextLine::mostRows)
        throw std::string("a text line holds 1 to " + std::to_string(TextLine::mostColumns)
            + " columns and 1 to " + std::to_string(TextLine::mostRows) + " rows");
    return maxColumns;
}

constexpr D3DSAMPLERSTATETYPE filterStates[] = {
    D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER};

} // namespace

TextLine::TextLine(int maxColumns, int maxRows)
    : device(requireSharedDevice())
    , maxColumns(checkedColumns(maxColumns, maxRows))
    , maxRows(maxRows)
    // A column of box before the first glyph; the last glyph's own spacing column closes
    // it on the right. Each line holds its glyph between a row above and one below.
    , textureWidth(maxColumns * characterAdvance + 1)
    , textureHeight(maxRows * lineAdvance)
    , quad(image, 1.0f)
{
    if (device.CreateTexture(UINT(textureWidth), UINT(textureHeight), 1, 0, D3DFMT_A8R8G8B8,
            D3DPOOL_MANAGED, &image.texture, nullptr)
        != D3D_OK) {
        image.texture = nullptr;
        throw std::string("failed to create the text texture");
    }
    // Until the first text, draw() skips the texture: what it holds now is never seen.
}

void TextLine::setText(const std::string& text)
{
    if (text == shownText)
        return;
    D3DLOCKED_RECT locked{};
    if (image.texture->LockRect(0, &locked, nullptr, 0) != D3D_OK || !locked.pBits)
        throw std::string("failed to lock the text texture");
    const PixelView texels{static_cast<uint32_t*>(locked.pBits), textureWidth, textureHeight,
        locked.Pitch / int(sizeof(uint32_t))};

    const TextExtent extent = measureText(text);
    const int columns = std::min(extent.columns, maxColumns);
    const int rows = std::min(extent.rows, maxRows);
    const int newBoxWidth = columns > 0 ? columns * characterAdvance + 1 : 0;
    const int newBoxHeight = columns > 0 ? rows * lineAdvance : 0;
    // Every texel is written, so nothing of the text before stays behind.
    for (int y = 0; y < textureHeight; ++y) {
        uint32_t* row = texels.pixels + size_t(y) * size_t(texels.pitch);
        const int boxEnd = y < newBoxHeight ? newBoxWidth : 0;
        std::fill(row, row + boxEnd, boxColour);
        std::fill(row + boxEnd, row + textureWidth, 0u);
    }
    // Glyphs past the last column or row fall outside the texture, which cuts them off
    // whole: the first glyph left out would start at column 1 + 6 × maxColumns.
    writeText(texels, 1, 1, text, letterColour, 1);
    image.texture->UnlockRect(0);

    shownText = text;
    boxWidth = newBoxWidth;
    boxHeight = newBoxHeight;
}

void TextLine::draw(UINT targetWidth, UINT targetHeight, int scale)
{
    if (scale < 1)
        throw std::string("text scale must be at least 1");
    if (targetWidth == 0 || targetHeight == 0)
        throw std::string("text target has no pixels");
    if (boxWidth == 0)
        return;

    // Direct3D 9 puts pixel centres on whole screen coordinates, so pixel p spans p − ½ to
    // p + ½. With the quad's edges half a pixel before its first pixel, each texel spans
    // exactly scale × scale pixels and every pixel centre falls inside one texel, away from
    // its edges. The whole texture is drawn; its texels beyond the box are fully transparent.
    const double left = double(margin) * scale - 0.5;
    const double top = left;
    const double width = double(textureWidth) * scale;
    const double height = double(textureHeight) * scale;
    // Screen x runs from 0 to targetWidth as clip x runs from −1 to 1; screen y runs down
    // from clip y = 1, and the quad's y offset counts downwards.
    quad.scaleX = float(width / targetWidth);
    quad.scaleY = float(height / targetHeight);
    quad.x = float((2 * left + width) / targetWidth - 1);
    quad.y = float((2 * top + height) / targetHeight - 1);

    // At a scale above 1 a pixel centre falls between texel centres, where the linear
    // filtering the frame relies on would blur the letters: point sampling for this draw,
    // and the frame's own filters back after it.
    DWORD savedFilters[std::size(filterStates)];
    for (size_t i = 0; i < std::size(filterStates); ++i) {
        savedFilters[i] = D3DTEXF_LINEAR;
        device.GetSamplerState(0, filterStates[i], &savedFilters[i]);
    }
    device.SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device.SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device.SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    quad.draw(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1.0f, 0.0f);
    for (size_t i = 0; i < std::size(filterStates); ++i)
        device.SetSamplerState(0, filterStates[i], savedFilters[i]);
}

int TextLine::scaleFor(UINT targetHeight) { return std::max(1, int(targetHeight / 480)); }

} // namespace tincrates

// Typeface over FreeType: glyphs rendered as 8-bit antialiased coverage.
#include "tools/cratesmith/pictures/picture_type.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <cmath>
#include <stdexcept>

namespace tincrates::cratesmith {

void Typeface::CloseLibrary::operator()(FT_LibraryRec_* library) const
{
    FT_Done_FreeType(library);
}

void Typeface::CloseFace::operator()(FT_FaceRec_* face) const
{
    FT_Done_Face(face);
}

Typeface::Typeface(const std::string& fontPath)
{
    FT_Library newLibrary = nullptr;
    if (FT_Init_FreeType(&newLibrary) != 0)
        throw std::runtime_error("cannot start FreeType");
    library.reset(newLibrary);
    FT_Face newFace = nullptr;
    if (FT_New_Face(library.get(), fontPath.c_str(), 0, &newFace) != 0)
        throw std::runtime_error("cannot read the font " + fontPath);
    face.reset(newFace);
}

void Typeface::setSize(int pixelsPerEm)
{
    if (FT_Set_Pixel_Sizes(face.get(), 0, FT_UInt(pixelsPerEm)) != 0)
        throw std::runtime_error("the font cannot be set at " + std::to_string(pixelsPerEm)
                                 + " pixels");
}

float Typeface::ascent(int pixelsPerEm)
{
    setSize(pixelsPerEm);
    return float(face->size->metrics.ascender) / 64.0f;
}

float Typeface::descent(int pixelsPerEm)
{
    setSize(pixelsPerEm);
    return float(-face->size->metrics.descender) / 64.0f;
}

// Glyphs are neither hinted nor moved to whole pixels: at display sizes hinting gains nothing,
// and unhinted advances let a line be measured without rendering it.
float Typeface::advance(std::string_view text, int pixelsPerEm)
{
    setSize(pixelsPerEm);
    float pen = 0.0f;
    FT_UInt previous = 0;
    for (char character : text) {
        FT_UInt index = FT_Get_Char_Index(face.get(), FT_ULong(uint8_t(character)));
        FT_Fixed advance = 0; // 16.16 fixed point
        if (FT_Get_Advance(face.get(), index, FT_LOAD_NO_HINTING, &advance) != 0)
            throw std::runtime_error(std::string("the font has no usable glyph for '") + character
                                     + "'");
        pen += kerning(previous, index) + float(advance) / 65536.0f;
        previous = index;
    }
    return pen;
}

float Typeface::kerning(unsigned previous, unsigned index)
{
    FT_Vector kerning{}; // 26.6 fixed point
    if (previous != 0 && FT_HAS_KERNING(face.get()))
        FT_Get_Kerning(face.get(), previous, index, FT_KERNING_UNFITTED, &kerning);
    return float(kerning.x) / 64.0f;
}

void Typeface::draw(Plane& plane, std::string_view text, int pixelsPerEm, float left,
                    float baseline)
{
    setSize(pixelsPerEm);
    float pen = left;
    int baselineRow = int(std::lround(baseline));
    FT_UInt previous = 0;
    for (char character : text) {
        FT_UInt index = FT_Get_Char_Index(face.get(), FT_ULong(uint8_t(character)));
        pen += kerning(previous, index);
        if (FT_Load_Glyph(face.get(), index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0)
            throw std::runtime_error(std::string("the font has no usable glyph for '") + character
                                     + "'");
        const FT_GlyphSlot glyph = face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        if (bitmap.rows > 0 && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            throw std::runtime_error("the font gives no greyscale glyphs");
        int originX = int(std::lround(pen)) + glyph->bitmap_left;
        int originY = baselineRow - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                int x = originX + int(column), y = originY + int(row);
                if (x < 0 || y < 0 || x >= plane.width || y >= plane.height)
                    continue;
                uint8_t covered = bitmap.buffer[int(row) * bitmap.pitch + int(column)];
                plane.at(x, y) = std::max(plane.at(x, y), float(covered) / 255.0f);
            }
        pen += float(glyph->linearHoriAdvance) / 65536.0f;
        previous = index;
    }
}

} // namespace tincrates::cratesmith

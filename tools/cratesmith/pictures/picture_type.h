// Type set with FreeType into coverage planes.
#pragma once

#include "tools/cratesmith/pictures/picture_plane.h"

#include <memory>
#include <string>
#include <string_view>

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace tincrates::cratesmith {

// One font file, opened for setting lines of text. Characters are taken byte by byte as
// Latin-1 (the lettering is plain ASCII).
class Typeface {
public:
    // Opens the font. Throws std::runtime_error("cannot read the font " + fontPath) when the file
    // is missing or is not a font FreeType knows.
    explicit Typeface(const std::string& fontPath);

    // Horizontal metrics at `pixelsPerEm`, in pixels: the pen's advance over `text` (kerning
    // included), and the font's ascent above and descent below the baseline (both positive).
    float advance(std::string_view text, int pixelsPerEm);
    float ascent(int pixelsPerEm);
    float descent(int pixelsPerEm);

    // Draws the coverage of `text` into `plane`, keeping the larger value at each pixel, with the
    // pen starting at `left` on the baseline `baseline`. Glyphs may reach past the plane's edges;
    // what falls outside is dropped.
    void draw(Plane& plane, std::string_view text, int pixelsPerEm, float left, float baseline);

private:
    void setSize(int pixelsPerEm);
    // The kerning between two glyphs (by index) at the current size, in pixels.
    float kerning(unsigned previous, unsigned index);

    struct CloseLibrary {
        void operator()(FT_LibraryRec_* library) const;
    };
    struct CloseFace {
        void operator()(FT_FaceRec_* face) const;
    };
    std::unique_ptr<FT_LibraryRec_, CloseLibrary> library;
    std::unique_ptr<FT_FaceRec_, CloseFace> face; // belongs to `library`, so closed first
};

} // namespace tincrates::cratesmith

// Stencilled markings as a sheet-metal stencil cuts them: bold straight and curved strokes,
// broken by the bridges that hold the stencil's islands in place.
#pragma once

#include "tools/cratesmith/pictures/picture_plane.h"

#include <string_view>

namespace tincrates::cratesmith {

// Width in pixels of `text` set at cap height `height`. Knows the characters "0 1 7 - C T" and
// the space; throws std::invalid_argument for any other.
float stencilWidth(std::string_view text, float height);

// Draws the coverage of `text` into `plane` (keeping the larger value at each pixel), with its
// top-left corner at left, top and cap height `height` pixels. Throws as stencilWidth does.
void drawStencil(Plane& plane, std::string_view text, float left, float top, float height);

// Draws, in the same way, the coverage of the "this way up" handling mark: two arrows over a
// bar, `height` pixels tall, centred on centreX.
void drawUpArrows(Plane& plane, float centreX, float top, float height);

} // namespace tincrates::cratesmith

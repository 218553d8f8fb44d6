// The production's icon for menus and launchers: a tin crate seen from above one corner, its
// faces the crate faces the production's own textures hold, on a clear background.
#pragma once

#include "tools/cratesmith/pictures/image.h"

namespace tincrates::cratesmith {

// The faces every size of the icon is drawn from, made once.
struct IconFaces {
    Image front; // the lead crate's face, turned to the left
    Image side;  // the stacked crates' face, on the right and on top
};

IconFaces makeIconFaces();

// The icon `pixels` × `pixels` with alpha, for 16 to 1024 pixels; the same faces give the same
// pixels on every run. Throws std::invalid_argument for any other size.
Image crateIcon(const IconFaces& faces, int pixels);

} // namespace tincrates::cratesmith

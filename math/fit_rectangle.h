// The largest rectangle of a picture's proportions that fits in an area, centred: where a
// picture is shown in a window or screen of other proportions, with black bars beside it or
// above and below it.
#pragma once

namespace tincrates {

// x and y count from the area's top-left corner.
struct FittedRectangle {
    int x, y, width, height;
};

// Sizes are rounded to the nearest whole pixel. An empty picture or area gives the whole area
// (an empty one when the area is empty) rather than dividing by zero.
FittedRectangle fitRectangle(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);

} // namespace tincrates

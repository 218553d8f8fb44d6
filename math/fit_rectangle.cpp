#include "math/fit_rectangle.h"

#include <algorithm>
#include <cstdint>

namespace tincrates {

FittedRectangle fitRectangle(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {0, 0, std::max(areaWidth, 0), std::max(areaHeight, 0)};
    FittedRectangle shown{0, 0, areaWidth, areaHeight};
    int64_t wide = int64_t(areaWidth) * pictureHeight;
    int64_t tall = int64_t(areaHeight) * pictureWidth;
    if (wide > tall)
        shown.width = int((tall + pictureHeight / 2) / pictureHeight);
    else if (wide < tall)
        shown.height = int((wide + pictureWidth / 2) / pictureWidth);
    shown.x = (areaWidth - shown.width) / 2;
    shown.y = (areaHeight - shown.height) / 2;
    return shown;
}

} // namespace tincrates

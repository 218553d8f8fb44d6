#include "production/picture_size.h"

#include "math/fit_rectangle.h"

#include <cstdlib>

namespace tincrates {

PictureSize pictureSizeFor(int areaWidth, int areaHeight)
{
    FittedRectangle fitted = fitRectangle(
        originalPictureSize.width, originalPictureSize.height, areaWidth, areaHeight);
    if (fitted.width < originalPictureSize.width || fitted.height < originalPictureSize.height)
        return originalPictureSize;
    return {fitted.width, fitted.height};
}

namespace {

// A whole number of at least one digit and nothing else; false when it is not one.
bool readNumber(const std::string& text, long& number)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    number = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

} // namespace

std::string readPictureSize(const std::string& text, const std::string& option, PictureSize& size)
{
    size_t cross = text.find('x');
    long width = 0;
    long height = 0;
    if (cross == std::string::npos || !readNumber(text.substr(0, cross), width)
        || !readNumber(text.substr(cross + 1), height))
        return option + " takes a size in pixels such as 1920x1080, not \"" + text + "\"";
    if (width < smallestPictureSize.width || height < smallestPictureSize.height)
        return option + " " + text + " is too small: at least "
            + std::to_string(smallestPictureSize.width) + "x"
            + std::to_string(smallestPictureSize.height);
    size = {int(width), int(height)};
    return {};
}

} // namespace tincrates

#include "production/picture_size.h"

#include "math/fit_rectangle.h"

#include <cstdint>
#include <cstdlib>

namespace tincrates {

PictureSize largestPictureIn(int areaWidth, int areaHeight)
{
    FittedRectangle fitted = fitRectangle(
        originalPictureSize.width, originalPictureSize.height, areaWidth, areaHeight);
    return {fitted.width, fitted.height};
}

PictureSize pictureSizeFor(int areaWidth, int areaHeight)
{
    PictureSize fitted = largestPictureIn(areaWidth, areaHeight);
    if (fitted.width < originalPictureSize.width || fitted.height < originalPictureSize.height)
        return originalPictureSize;
    return fitted;
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

std::string readSize(const std::string& text, const std::string& option, const char* example,
    PictureSize& size)
{
    size_t cross = text.find('x');
    long width = 0;
    long height = 0;
    if (cross == std::string::npos || !readNumber(text.substr(0, cross), width)
        || !readNumber(text.substr(cross + 1), height))
        return option + " takes a size in pixels such as " + example + ", not \"" + text + "\"";
    if (width < smallestPictureSize.width || height < smallestPictureSize.height)
        return option + " " + text + " is too small: at least "
            + std::to_string(smallestPictureSize.width) + "x"
            + std::to_string(smallestPictureSize.height);
    size = {int(width), int(height)};
    return {};
}

} // namespace

std::string readPictureSize(const std::string& text, const std::string& option, PictureSize& size)
{
    return readSize(text, option, "1920x1080", size);
}

std::string readFourByThreeSize(const std::string& text, const std::string& option,
    PictureSize& size)
{
    PictureSize read;
    std::string reason = readSize(text, option, "1440x1080", read);
    if (!reason.empty())
        return reason;
    // Each side has at most nine digits, so the products are taken in 64 bits.
    if (int64_t(read.width) * 3 != int64_t(read.height) * 4)
        return option + " takes a 4:3 size such as 640x480 or 1440x1080, not " + text;
    size = read;
    return {};
}

} // namespace tincrates

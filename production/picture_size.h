// The size the production's picture is drawn at. Nothing in the picture depends on it but
// its sharpness: the camera's aspect is 4:3, overlays are placed in clip space and the glow
// has render targets of its own size. So a screen or a video of any size gets the largest
// 4:3 picture that fits it, drawn at that size.
#pragma once

#include <string>

namespace tincrates {

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The size the production was made for, and what runs without a screen draw.
inline constexpr PictureSize originalPictureSize{640, 480};

// Below this the glow's 256-pixel render targets would outgrow the depth buffer.
inline constexpr PictureSize smallestPictureSize{320, 240};

// The largest picture of the production's 4:3 proportions that fits in width × height.
PictureSize largestPictureIn(int areaWidth, int areaHeight);

// largestPictureIn, but never smaller than the original 640 × 480: a smaller area shows that,
// scaled down.
PictureSize pictureSizeFor(int areaWidth, int areaHeight);

// Reads "WIDTHxHEIGHT" (such as 1920x1080) into `size`. Returns an empty text when it is a
// size of at least the smallest, else the reason for `option` in one line ("--size takes
// ..."). Whether the device can make a picture that large is the display's to say.
std::string readPictureSize(const std::string& text, const std::string& option, PictureSize& size);

// Reads a size as readPictureSize does that must also have the production's 4:3 proportions,
// for a back buffer that is scaled to the screen (640x480, 1440x1080). Returns an empty text
// or the reason in one line, whose example is always a size it takes; leaves `size` as it was
// on failure.
std::string readFourByThreeSize(const std::string& text, const std::string& option,
    PictureSize& size);

} // namespace tincrates

// The lettering: white type with a soft dark halo, so it reads over the glow and the white
// flashes, on a transparent ground. Each image is stretched over the middle 352 × 120 of a
// 640 × 480 picture, which is 792 × 270 pixels on a 1080-line screen and 1584 × 540 on a
// 2160-line one: the images are 1408 × 480, sharp at 1080 lines and nearly so at 2160, and
// smooth when drawn smaller, through the mipmaps. The type is set large and the halo wide enough
// to survive the minification to 640 × 480.
#include "tools/cratesmith/pictures/lettering.h"

#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/pictures/picture_plane.h"
#include "tools/cratesmith/pictures/picture_type.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tincrates::cratesmith {

namespace {

// The lines are laid out on a grid of 704 × 240 and drawn `imageScale` times finer: type sizes and
// positions on that grid are what they were when the images had that size, so the picture at
// 640 × 480 stays as it was. The image keeps the quad's shape, 352:120, or the type would be
// stretched.
constexpr int layoutWidth = 704, layoutHeight = 240;
constexpr int imageScale = 2;
constexpr int imageWidth = layoutWidth * imageScale, imageHeight = layoutHeight * imageScale;
// Room kept free round the type for the halo, on the layout grid.
constexpr float marginX = 20.0f, marginY = 18.0f;
// Baseline to baseline, in ems of the two lines' mean size: tight, as display type is set.
constexpr float lineSpacing = 1.1f;
// Layout pixels per em; single short words would grow beyond reason.
constexpr int largestSize = 150;

// Each line lands on a sync time of the music: 0 is up from beat 8, line k from the k-th sync
// time on. Lines 16 to 21 count the beats left to the last sync time; 18 to 21 stand for a
// single beat each.
const char* const timedLines[] = {
    "flickering tin crates",               // 0, the title
    "hammered from sheet metal",           // 1
    "folded at every edge",                // 2
    "riveted at the corners",              // 3
    "stacked in the purple dark",          // 4
    "lit by a wandering lamp",             // 5
    "off the beat",                        // 6, half a beat late
    "tumbling on a moving axis",           // 7
    "one crate leads",                     // 8
    "the others follow",                   // 9
    "greetings to the archivists",         // 10
    "to everyone who ports old code",      // 11
    "to the keepers of forgotten formats", // 12
    "to every old machine still running",  // 13
    "and to you, watching",                // 14
    "now count with us",                   // 15
    "sixteen",                             // 16
    "eight",                               // 17
    "four",                                // 18
    "three",                               // 19
    "two",                                 // 20
    "one",                                 // 21
    "goodbye!",                            // 22, fades out
};

// A line of a block, its size relative to the block's largest, and any extra space above it
// (in ems of its own size).
struct Line {
    std::string text;
    float scale = 1.0f;
    float spaceBefore = 0.0f;
};

// How far the lines reach when set at `size` layout pixels per em: the widest line's advance, and
// the height from the first line's ascent to the last line's descent.
struct Extent {
    float width = 0.0f;
    float height = 0.0f;
};

// From the baseline of line i - 1 to that of line i, in layout pixels.
float lineStep(const std::vector<Line>& lines, size_t i, int size)
{
    const Line& above = lines[i - 1];
    const Line& line = lines[i];
    return (lineSpacing * 0.5f * (above.scale + line.scale) + line.spaceBefore * line.scale)
           * float(size);
}

Extent measure(Typeface& face, const std::vector<Line>& lines, int size)
{
    Extent extent;
    for (size_t i = 0; i < lines.size(); ++i) {
        int lineSize = int(std::lround(float(size) * lines[i].scale));
        extent.width = std::max(extent.width, face.advance(lines[i].text, lineSize));
        extent.height += i == 0 ? face.ascent(lineSize) : lineStep(lines, i, size);
        if (i + 1 == lines.size())
            extent.height += face.descent(lineSize);
    }
    return extent;
}

// The largest size (layout pixels per em) at which the lines fit the image inside its margins.
int fittingSize(Typeface& face, const std::vector<Line>& lines)
{
    const float width = layoutWidth - 2.0f * marginX, height = layoutHeight - 2.0f * marginY;
    // Type grows almost in proportion to its size: estimate from one setting, then step down
    // past what hinting rounds up.
    const int probe = 100;
    Extent atProbe = measure(face, lines, probe);
    float ratio = std::min(width / atProbe.width, height / atProbe.height);
    int size = std::min(largestSize, int(float(probe) * ratio) + 1);
    for (; size > 8; --size) {
        Extent extent = measure(face, lines, size);
        if (extent.width <= width && extent.height <= height)
            break;
    }
    return size;
}

// Sets a line on one line or breaks it in two at a space, whichever lets the type be largest; a
// break must win by a clear margin, as one line reads faster. Between breaks that allow the same
// size (two lines are often limited by the height alone), the one with the halves nearest in
// width wins.
std::vector<Line> breakLine(Typeface& face, const std::string& text)
{
    std::vector<Line> best{{text}};
    float bestSize = float(fittingSize(face, best)) * 1.15f;
    float bestImbalance = 0.0f;
    for (size_t space = text.find(' '); space != std::string::npos;
         space = text.find(' ', space + 1)) {
        std::vector<Line> broken{{text.substr(0, space)}, {text.substr(space + 1)}};
        float size = float(fittingSize(face, broken));
        float imbalance = std::abs(face.advance(broken[0].text, 100)
                                   - face.advance(broken[1].text, 100));
        if (size > bestSize || (size == bestSize && imbalance < bestImbalance)) {
            best = broken;
            bestSize = size;
            bestImbalance = imbalance;
        }
    }
    return best;
}

// Sets the lines centred in the image, each centred on its own.
Image setLines(Typeface& face, const std::vector<Line>& lines)
{
    int size = fittingSize(face, lines);
    // Set on a larger plane first, then moved so the ink's bounding box sits in the middle.
    const int pad = imageHeight;
    Plane ink(imageWidth + 2 * pad, imageHeight + 2 * pad);
    float baseline = 0.0f; // on the layout grid
    for (size_t i = 0; i < lines.size(); ++i) {
        int lineSize = int(std::lround(float(size) * lines[i].scale));
        baseline += i == 0 ? face.ascent(lineSize) : lineStep(lines, i, size);
        float width = face.advance(lines[i].text, lineSize);
        float left = 0.5f * (float(layoutWidth) - width);
        face.draw(ink, lines[i].text, lineSize * imageScale, float(pad) + left * imageScale,
                  float(pad) + baseline * imageScale);
    }
    int left = ink.width, top = ink.height, right = -1, bottom = -1;
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x)
            if (ink.at(x, y) > 0.0f) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    int shiftX = (left + right + 1 - imageWidth) / 2, shiftY = (top + bottom + 1 - imageHeight) / 2;
    Plane type(imageWidth, imageHeight);
    for (int y = 0; y < imageHeight; ++y)
        for (int x = 0; x < imageWidth; ++x) {
            int fromX = x + shiftX, fromY = y + shiftY;
            if (fromX >= 0 && fromY >= 0 && fromX < ink.width && fromY < ink.height)
                type.at(x, y) = ink.at(fromX, fromY);
        }

    // The halo: the type grown by a few pixels, then softened, a little heavier below.
    Plane halo = blurred(dilated(type, 4 * imageScale, Edge::clamp), 7.0f * imageScale,
                         Edge::clamp);
    const int shadowDrop = 3 * imageScale;
    // Transparent pixels take the halo's colour too: filtering and mipmaps mix the colour of
    // neighbouring pixels regardless of their alpha, and a white ground would fringe the type.
    const Rgb white{1.0f, 1.0f, 1.0f}, dark = rgbBytes(10, 4, 18);
    Image image(imageWidth, imageHeight);
    image.hasAlpha = true;
    for (int y = 0; y < imageHeight; ++y)
        for (int x = 0; x < imageWidth; ++x) {
            float typeAlpha = type.at(x, y);
            float shadow = y >= shadowDrop ? halo.at(x, y - shadowDrop) : 0.0f;
            float haloAlpha = 0.8f * clamp01(1.8f * std::max(halo.at(x, y), shadow));
            float alpha = typeAlpha + haloAlpha * (1.0f - typeAlpha);
            Rgb colour = alpha > 0.0f ? mix(dark, white, typeAlpha / alpha) : dark;
            image.at(uint32_t(x), uint32_t(y)) = packPixel(colour, alpha);
        }
    return image;
}

} // namespace

void makeLettering(DataFolder& data, const std::string& fontPath)
{
    Typeface face(fontPath);
    int number = 0;
    for (const char* text : timedLines) {
        char name[16];
        std::snprintf(name, sizeof name, "text%02i.png", number++);
        data.writeImage(name, setLines(face, breakLine(face, text)));
    }
    data.writeImage("credits.png", setLines(face, {{"flickering tin crates", 1.0f, 0.0f},
                                                   {"code, meshes, textures and music", 0.6f, 0.3f},
                                                   {"all made from source", 0.6f, 0.0f},
                                                   {"thanks for watching", 0.75f, 0.35f}}));
}

} // namespace tincrates::cratesmith

// The production's icon: three faces of a tin crate in a 2:1 dimetric view, sampled from the
// crate faces the production's textures hold, lit from the upper left as those textures are.
#include "tools/cratesmith/pictures/icon.h"

#include "tools/cratesmith/pictures/picture_plane.h"
#include "tools/cratesmith/pictures/picture_shapes.h"
#include "tools/cratesmith/pictures/textures.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tincrates::cratesmith {

namespace {

// A face as float colours, shrunk by halves to about twice the icon's size, so that sampling it
// a few times per pixel averages its detail instead of picking at it.
struct FaceColours {
    int size = 0;
    std::vector<Rgb> texels; // top row first

    Rgb at(int x, int y) const
    {
        x = std::clamp(x, 0, size - 1);
        y = std::clamp(y, 0, size - 1);
        return texels[size_t(y) * size_t(size) + size_t(x)];
    }

    // Bilinear, at u, v from 0 to 1 across the face.
    Rgb sample(float u, float v) const
    {
        float x = u * float(size) - 0.5f, y = v * float(size) - 0.5f;
        int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        float fx = x - float(x0), fy = y - float(y0);
        return mix(mix(at(x0, y0), at(x0 + 1, y0), fx), mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fx),
                   fy);
    }
};

FaceColours shrunk(const Image& face, int pixels)
{
    FaceColours colours{int(face.width), {}};
    colours.texels.reserve(face.pixels.size());
    for (uint32_t pixel : face.pixels)
        colours.texels.push_back(rgbBytes(int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF),
                                          int(pixel & 0xFF)));
    while (colours.size > 2 * pixels && colours.size % 2 == 0) {
        FaceColours half{colours.size / 2, {}};
        half.texels.resize(size_t(half.size) * size_t(half.size));
        for (int y = 0; y < half.size; ++y)
            for (int x = 0; x < half.size; ++x)
                half.texels[size_t(y) * size_t(half.size) + size_t(x)]
                    = (colours.at(2 * x, 2 * y) + colours.at(2 * x + 1, 2 * y)
                       + colours.at(2 * x, 2 * y + 1) + colours.at(2 * x + 1, 2 * y + 1))
                      * 0.25f;
        colours = std::move(half);
    }
    return colours;
}

// A face of the crate as it lies in the icon: a parallelogram from `origin` along `across`
// (the face's u) and `down` (its v), and how much light it gets.
struct FacePlacement {
    Point origin, across, down;
    const FaceColours* colours;
    float light;
};

// Where `p` lies on `face` as u, v; true when inside it.
bool faceCoordinates(const FacePlacement& face, Point p, float& u, float& v)
{
    float dx = p.x - face.origin.x, dy = p.y - face.origin.y;
    float det = face.across.x * face.down.y - face.across.y * face.down.x;
    u = (dx * face.down.y - dy * face.down.x) / det;
    v = (face.across.x * dy - face.across.y * dx) / det;
    return u >= 0.0f && u < 1.0f && v >= 0.0f && v < 1.0f;
}

} // namespace

IconFaces makeIconFaces() { return {leadCrateFace(), stackedCrateFace()}; }

Image crateIcon(const IconFaces& faces, int pixels)
{
    if (pixels < 16 || pixels > 1024)
        throw std::invalid_argument("an icon is 16 to 1024 pixels wide, not "
                                    + std::to_string(pixels));
    const float size = float(pixels);
    FaceColours front = shrunk(faces.front, pixels), side = shrunk(faces.side, pixels);
    // The crate's near vertical edge runs down the middle; its horizontal edges fall 1 in 2,
    // and the whole stands in the middle with a small margin all round.
    const float halfWidth = 0.41f * size, rise = 0.205f * size, edgeHeight = 0.47f * size;
    const float top = 0.5f * (size - 2.0f * rise - edgeHeight);
    const Point nearTop{0.5f * size, top + 2.0f * rise};
    const FacePlacement placements[] = {
        // Left, facing the light a little; right, turned from it; the top, in it.
        {{nearTop.x - halfWidth, nearTop.y - rise}, {halfWidth, rise}, {0.0f, edgeHeight},
         &front, 0.95f},
        {nearTop, {halfWidth, -rise}, {0.0f, edgeHeight}, &side, 0.66f},
        {{nearTop.x, nearTop.y - 2.0f * rise}, {halfWidth, rise}, {-halfWidth, rise}, &side,
         1.1f},
    };
    // The folds at the crate's edges, darker than the faces, keep it a crate at 16 pixels too:
    // they are at least about a pixel wide.
    const float foldWidth = std::max(0.025f, 1.0f / halfWidth);

    // Sixteen samples a pixel smooth the crate's outline and its edges.
    constexpr int samplesAcross = 4;
    Image icon{uint32_t(pixels), uint32_t(pixels), 0u};
    icon.hasAlpha = true;
    for (int y = 0; y < pixels; ++y)
        for (int x = 0; x < pixels; ++x) {
            Rgb sum;
            int covered = 0;
            for (int j = 0; j < samplesAcross; ++j)
                for (int i = 0; i < samplesAcross; ++i) {
                    Point p{float(x) + (float(i) + 0.5f) / samplesAcross,
                            float(y) + (float(j) + 0.5f) / samplesAcross};
                    for (const FacePlacement& face : placements) {
                        float u = 0.0f, v = 0.0f;
                        if (!faceCoordinates(face, p, u, v))
                            continue;
                        // The textures are kept mid-bright for the scene's lighting to lift;
                        // here the lift is the face's light, and the sheet darkens where it
                        // folds over the crate's edges.
                        float fromEdge = std::min({u, 1.0f - u, v, 1.0f - v});
                        float fold = 0.55f + 0.45f * smoothstep(0.0f, foldWidth, fromEdge);
                        sum = sum + face.colours->sample(u, v) * (face.light * fold);
                        ++covered;
                        break;
                    }
                }
            if (covered > 0)
                icon.at(uint32_t(x), uint32_t(y)) = packPixel(
                    sum * (1.0f / float(covered)),
                    float(covered) / float(samplesAcross * samplesAcross));
        }
    return icon;
}

} // namespace tincrates::cratesmith

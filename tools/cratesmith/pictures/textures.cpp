// The production's textures, drawn from noise, height fields and shapes. Every material
// modulates its texture with the lit vertex colour, so the metal faces are kept mid-bright and
// leave the light and shade to the lighting; the environment map is added on top, so it is dark
// apart from a few lamps.
//
// Each texture is laid out on a grid of units and drawn a whole number of pixels to the unit:
// shapes, noise cells and blurs are given in units, so a texture drawn finer shows the same
// picture, and its smaller mipmaps, which a 640 × 480 picture draws from, are what it was at one
// pixel to the unit. The finer pixels carry sharp edges and detail of their own (rivet collars,
// scratches, ragged chips, pitting) for a 1080-line picture, where a crate or a girder near the
// camera shows its texture enlarged.
#include "tools/cratesmith/pictures/textures.h"

#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/pictures/picture_noise.h"
#include "tools/cratesmith/pictures/picture_plane.h"
#include "tools/cratesmith/pictures/picture_shapes.h"
#include "tools/cratesmith/pictures/picture_stencil.h"

#include <cmath>
#include <functional>
#include <limits>

namespace tincrates::cratesmith {

namespace {

constexpr float pi = 3.14159265f;

// Where a square texture's pixels lie on the grid it is laid out on.
struct Grid {
    int units; // across
    int scale; // pixels to the unit

    int pixels() const { return units * scale; }
    // The centre of pixel (x, y), in units.
    Point at(int x, int y) const
    {
        return {(float(x) + 0.5f) / float(scale), (float(y) + 0.5f) / float(scale)};
    }
    // The coverage of a shape's edge at a distance in units, antialiased over one pixel.
    float sharp(float distance) const { return coverage(distance * float(scale)); }
};

// Fills an image from a colour (and alpha) per pixel.
Image fillImage(int width, int height, const std::function<Rgb(int x, int y)>& colourAt)
{
    Image image{uint32_t(width), uint32_t(height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at(uint32_t(x), uint32_t(y)) = packPixel(colourAt(x, y));
    return image;
}

// The shortest distance from a to b on a ring of `size` units, so shapes placed near one edge
// of a tiling texture continue past the other.
float wrappedDelta(float a, float b, float size)
{
    float delta = std::fmod(b - a, size);
    if (delta > 0.5f * size)
        delta -= size;
    if (delta < -0.5f * size)
        delta += size;
    return delta;
}

// Fine noise for detail a unit cannot hold: cells of about `cellPixels` pixels over the texture,
// two octaves. Its mean is near 0.5, so a little of it added to a threshold roughens an edge
// without moving it.
Plane fineNoise(const Grid& grid, int cellPixels, uint32_t seed)
{
    int cells = grid.pixels() / cellPixels;
    return noisePlane(grid.pixels(), grid.pixels(), cells, cells, 2, 0.5f, seed);
}

// How scratches run: their number, their length and half-width range (units), and the range of
// their direction (radians).
struct Scratches {
    int count;
    float shortest, longest;
    float thinnest, widest;
    float fromAngle, toAngle;
};

// The coverage of straight, thin scratches strewn over the texture at random. On a texture that
// tiles (`edge` wraps) a scratch crossing an edge comes back on the other.
Plane scratched(const Grid& grid, const Scratches& how, uint32_t seed, Edge edge)
{
    const int size = grid.pixels();
    const float units = float(grid.units), scale = float(grid.scale);
    Plane scratches(size, size);
    Random random(seed);
    for (int k = 0; k < how.count; ++k) {
        Point middle{random.range(0.0f, units), random.range(0.0f, units)};
        float angle = random.range(how.fromAngle, how.toAngle);
        float length = random.range(how.shortest, how.longest);
        float halfWidth = random.range(how.thinnest, how.widest);
        Point along{std::cos(angle) * 0.5f * length, std::sin(angle) * 0.5f * length};
        Point a{middle.x - along.x, middle.y - along.y}, b{middle.x + along.x, middle.y + along.y};
        // Only the pixels round the scratch, unwrapped: x and y may leave the texture.
        float reach = 0.5f * length + halfWidth + 1.0f;
        int x0 = int(std::floor((middle.x - reach) * scale));
        int x1 = int(std::ceil((middle.x + reach) * scale));
        int y0 = int(std::floor((middle.y - reach) * scale));
        int y1 = int(std::ceil((middle.y + reach) * scale));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                bool inside = x >= 0 && y >= 0 && x < size && y < size;
                if (!inside && edge == Edge::clamp)
                    continue;
                int wrappedX = (x % size + size) % size, wrappedY = (y % size + size) % size;
                float covered = grid.sharp(barDistance(grid.at(x, y), a, b, halfWidth));
                float& value = scratches.at(wrappedX, wrappedY);
                value = std::max(value, covered);
            }
    }
    return scratches;
}

// ---- Crate faces -----------------------------------------------------------------------------

// 512 units, drawn at 1024 pixels: the lead crate rides the camera's look point and fills much
// of the picture.
constexpr Grid faceGrid{512, 2};

// How a crate face's sheet is pressed: folded down at the crate's edges, a raised frame near
// them with a row of rivets on it, a pressed panel line inside, and a few dents. Heights in
// units.
Plane faceHeights(uint32_t seed)
{
    const Grid& grid = faceGrid;
    const int size = grid.pixels();
    const float units = float(grid.units), scale = float(grid.scale);
    Plane height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Point p = grid.at(x, y);
            float fromEdge = std::min({p.x, p.y, units - p.x, units - p.y});
            float fold = 3.0f * smoothstep(0.0f, 10.0f, fromEdge);
            float frame = 2.5f * (smoothstep(18.0f, 25.0f, fromEdge)
                                  - smoothstep(41.0f, 48.0f, fromEdge));
            float groove = -1.4f * std::exp(-std::pow((fromEdge - 66.0f) / 2.2f, 2.0f));
            height.at(x, y) = fold + frame + groove;
        }

    Random random(seed);
    for (int dent = 0; dent < 4; ++dent) {
        Point centre{random.range(90.0f, 420.0f), random.range(90.0f, 420.0f)};
        float radius = random.range(24.0f, 48.0f), depth = random.range(6.0f, 10.0f);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                Point p = grid.at(x, y);
                float dx = p.x - centre.x, dy = p.y - centre.y;
                float squared = dx * dx + dy * dy;
                height.at(x, y) -= depth * std::exp(-squared / (2.0f * radius * radius));
            }
    }

    // Rivets sit on the frame, nine to a side, the corner ones shared: domed heads, each in a
    // shallow ring where setting it drew the sheet in.
    const float rivetRadius = 9.0f, rivetLine = 33.0f, reach = rivetRadius + 4.0f;
    const float spacing = (units - 2.0f * rivetLine) / 8.0f;
    for (int side = 0; side < 4; ++side)
        for (int k = 0; k < 8; ++k) {
            float along = rivetLine + spacing * float(k);
            Point centre = side == 0   ? Point{along, rivetLine}
                           : side == 1 ? Point{units - rivetLine, along}
                           : side == 2 ? Point{units - along, units - rivetLine}
                                       : Point{rivetLine, units - along};
            for (int y = int((centre.y - reach) * scale); y <= int((centre.y + reach) * scale); ++y)
                for (int x = int((centre.x - reach) * scale);
                     x <= int((centre.x + reach) * scale); ++x) {
                    Point p = grid.at(x, y);
                    float r = std::hypot(p.x - centre.x, p.y - centre.y);
                    float dome = 1.0f - (r * r) / (rivetRadius * rivetRadius);
                    if (dome > 0.0f)
                        height.at(x, y) += 3.0f * std::sqrt(dome);
                    height.at(x, y) -= 0.5f * std::exp(-std::pow(r - rivetRadius - 1.6f, 2.0f));
                }
        }
    // Softened by a pixel: the heads' rims stay sharp.
    return blurred(height, 1.0f, Edge::clamp);
}

// Brushed sheet: fine streaks along the rows, a little broad mottling. Near 1 on average.
Plane brushedSheet(float streakDepth, uint32_t seed)
{
    const int size = faceGrid.pixels(), units = faceGrid.units;
    Plane fine = noisePlane(size, size, 2, units / 2, 3, 0.5f, seed);
    Plane coarse = noisePlane(size, size, 3, units / 8, 3, 0.5f, seed + 1);
    Plane mottle = noisePlane(size, size, 3, 3, 5, 0.55f, seed + 2);
    Plane sheet(size, size);
    for (size_t i = 0; i < sheet.values.size(); ++i)
        sheet.values[i] = 1.0f
                          + streakDepth * (0.6f * fine.values[i] + 0.4f * coarse.values[i] - 0.5f)
                          + 0.08f * (mottle.values[i] - 0.5f);
    return sheet;
}

// Spray paint through a stencil: edges soft by a pixel, overspray round them and a few stray
// droplets beyond, and chipped off in small ragged flakes, most of all along the paint's edges.
Plane sprayed(const Plane& stencil, float wear, uint32_t seed)
{
    const Grid& grid = faceGrid;
    const float scale = float(grid.scale);
    Plane edge = blurred(stencil, 1.2f, Edge::clamp);
    Plane overspray = blurred(stencil, 6.0f * scale, Edge::clamp);
    Plane nearEdge = blurred(stencil, 5.0f * scale, Edge::clamp);
    Plane flakes = noisePlane(stencil.width, stencil.height, 24, 24, 3, 0.55f, seed);
    Plane ragged = fineNoise(grid, 6, seed + 1);
    Plane droplets = fineNoise(grid, 3, seed + 2);
    Plane paint(stencil.width, stencil.height);
    for (size_t i = 0; i < paint.values.size(); ++i) {
        float edginess = 1.0f - std::abs(2.0f * nearEdge.values[i] - 1.0f);
        float flake = flakes.values[i] + 0.04f * (ragged.values[i] - 0.5f);
        float chipped = smoothstep(0.0f, 0.03f, flake + wear * (0.2f + 0.25f * edginess) - 0.92f);
        float stray = smoothstep(0.84f, 0.9f, droplets.values[i])
                      * smoothstep(0.02f, 0.2f, overspray.values[i]);
        float sprayedOn = std::max(0.92f * edge.values[i] + 0.12f * overspray.values[i],
                                   0.6f * stray);
        paint.values[i] = clamp01(sprayedOn) * (1.0f - chipped);
    }
    return paint;
}

struct FaceLook {
    Rgb tin;           // the bare sheet's colour
    float streakDepth; // of the brushing
    float grime;       // 0 (clean) to 1
    Rgb paint;         // of the stencilled marking
    uint32_t seed;
};

// A crate face: pressed sheet, marking and grime. `marking` is the stencil's coverage and
// `stripes` the coverage of a hazard-stripe band, both the face's size in pixels (zero where
// there is none).
Image crateFace(const FaceLook& look, const Plane& marking, const Plane& stripes)
{
    const Grid& grid = faceGrid;
    const int size = grid.pixels();
    const float units = float(grid.units), scale = float(grid.scale);
    Plane height = faceHeights(look.seed);
    Plane light = lit(height, 0.9f * scale, Edge::clamp);
    Plane sheet = brushedSheet(look.streakDepth, look.seed + 10);
    Plane paint = sprayed(marking, 0.7f, look.seed + 20);
    Plane stripePaint = sprayed(stripes, 0.5f, look.seed + 30);
    // Dirt gathers in the hollows (where the surroundings stand higher), near the edges, in
    // blotches and in specks.
    Plane surroundings = blurred(height, 10.0f * scale, Edge::clamp);
    Plane blotches = noisePlane(size, size, 5, 5, 5, 0.6f, look.seed + 40);
    Plane runs = noisePlane(size, size, 40, 2, 3, 0.5f, look.seed + 50);
    Plane specks = fineNoise(grid, 3, look.seed + 60);
    // Handling has scratched the sheet, mostly along its brushing, through paint and grime to
    // bright tin.
    Plane scratches = scratched(grid, {70, 8.0f, 60.0f, 0.2f, 0.45f, -0.35f, 0.35f},
                                look.seed + 70, Edge::clamp);
    const Rgb grime = rgbBytes(70, 60, 50);
    const Rgb yellow = rgbBytes(236, 178, 24), black = rgbBytes(30, 28, 26);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Point p = grid.at(x, y);
        Rgb colour = look.tin * sheet.values[i];
        float phase = std::fmod(p.x + p.y, 64.0f);
        float isYellow = coverage((std::abs(phase - 32.0f) - 16.0f) * scale, 1.4f);
        colour = mix(colour, mix(black, yellow, isYellow), stripePaint.values[i]);
        colour = mix(colour, look.paint, paint.values[i]);
        float fromEdge = std::min({p.x, p.y, units - p.x, units - p.y});
        // Rain has washed dirt down from the top of the face in streaks.
        float washed = smoothstep(0.55f, 0.8f, runs.values[i]) * (1.0f - p.y / units);
        float dirt = 0.6f * clamp01((surroundings.values[i] - height.values[i]) * 0.8f)
                     + 0.3f * (1.0f - smoothstep(0.0f, 28.0f, fromEdge))
                     + 0.3f * smoothstep(0.6f, 0.95f, blotches.values[i]) + 0.35f * washed
                     + 0.5f * smoothstep(0.82f, 0.9f, specks.values[i])
                           * smoothstep(0.3f, 0.8f, blotches.values[i]);
        colour = mix(colour, colour * grime * 2.0f, clamp01(dirt) * look.grime);
        colour = mix(colour, look.tin * 1.15f, 0.55f * scratches.values[i]);
        return colour * std::min(light.values[i], 1.25f);
    });
}

Image tinplate()
{
    const int size = faceGrid.pixels();
    const float scale = float(faceGrid.scale);
    Plane marking(size, size);
    drawUpArrows(marking, 256.0f * scale, 112.0f * scale, 110.0f * scale);
    float codeHeight = 86.0f * scale;
    drawStencil(marking, "TC-07", 256.0f * scale - 0.5f * stencilWidth("TC-07", codeHeight),
                300.0f * scale, codeHeight);
    FaceLook look{rgbBytes(168, 170, 175), 0.22f, 0.8f, rgbBytes(50, 48, 52), 1000};
    return crateFace(look, marking, Plane(size, size));
}

Image leadtin()
{
    const Grid& grid = faceGrid;
    const int size = grid.pixels();
    const float scale = float(grid.scale);
    Plane marking(size, size);
    float codeHeight = 104.0f * scale;
    drawStencil(marking, "TC-01", 256.0f * scale - 0.5f * stencilWidth("TC-01", codeHeight),
                150.0f * scale, codeHeight);
    Plane stripes(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            stripes.at(x, y) = grid.sharp(boxDistance(grid.at(x, y), {256.0f, 370.0f}, 176.0f,
                                                      34.0f));
    FaceLook look{rgbBytes(190, 191, 196), 0.12f, 0.35f, rgbBytes(150, 28, 24), 2000};
    return crateFace(look, marking, stripes);
}

// ---- Tiling textures --------------------------------------------------------------------------

// Corrugated sheet for the stacked crates: ribs running down, rust patches, and rust washed down
// from them and from the fasteners in streaks. Tiles both ways. A pixel to the unit: the stacks
// keep their distance, where a face seldom shows more than 512 pixels of it.
Image corrugated()
{
    const Grid grid{512, 1};
    const int size = grid.pixels(), ribs = 16;
    const float units = float(grid.units), scale = float(grid.scale);
    const float ribWidth = units / ribs;
    Plane height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            height.at(x, y) = 2.2f * std::cos(2.0f * pi * grid.at(x, y).x / ribWidth);
    Plane light = lit(height, 1.0f * scale, Edge::wrap);
    Plane mottle = noisePlane(size, size, 4, 4, 5, 0.55f, 3000);
    Plane rolled = noisePlane(size, size, 128, 2, 2, 0.5f, 3001);
    Plane patches = noisePlane(size, size, 4, 4, 6, 0.6f, 3002);
    Plane rustTone = noisePlane(size, size, 16, 16, 4, 0.6f, 3003);
    Plane runs = noisePlane(size, size, 48, 3, 3, 0.55f, 3004);
    Plane ragged = fineNoise(grid, 6, 3007);
    Plane pitting = fineNoise(grid, 3, 3008);
    // The rust's edges, frayed finer than a unit.
    for (size_t i = 0; i < patches.values.size(); ++i)
        patches.values[i] += 0.025f * (ragged.values[i] - 0.5f);

    // Where rust starts: the patches and the fasteners, two rows of them on every other crest;
    // most fasteners have rusted round their heads. Each is a domed head on a washer.
    const float fastenerRows[] = {100.0f, 356.0f};
    Plane heads(size, size);
    Plane washers(size, size);
    Plane rustRings(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Point p = grid.at(x, y);
            int column = int(std::lround(p.x / (2.0f * ribWidth)));
            for (int row = 0; row < 2; ++row) {
                Point centre{float(column) * 2.0f * ribWidth, fastenerRows[row]};
                float rusty = float(hashPoint(column % (ribs / 2), row, 3006) % 100) / 100.0f;
                float r = std::hypot(p.x - centre.x, p.y - centre.y);
                washers.at(x, y) = std::max(washers.at(x, y), grid.sharp(r - 4.5f));
                heads.at(x, y) = std::max(heads.at(x, y), grid.sharp(r - 2.8f));
                rustRings.at(x, y) = std::max(rustRings.at(x, y),
                    (rusty < 0.7f ? 1.0f : 0.0f) * coverage(r - 7.0f, 5.0f));
            }
        }
    Plane headLight = lit(blurred(heads, 1.5f, Edge::wrap), 2.0f * scale, Edge::wrap);
    // Rain carries it down: each column keeps a fading memory of the rust above it, read twice
    // round so that streaks crossing the bottom edge continue at the top.
    const float keptPerPixel = std::pow(0.993f, 1.0f / scale);
    Plane washed(size, size);
    for (int x = 0; x < size; ++x) {
        float carried = 0.0f;
        for (int pass = 0; pass < 2; ++pass)
            for (int y = 0; y < size; ++y) {
                size_t i = size_t(y) * size_t(size) + size_t(x);
                float source = std::max(0.8f * smoothstep(0.66f, 0.74f, patches.values[i]),
                                        rustRings.values[i]);
                carried = std::max(source, carried * keptPerPixel);
                if (pass == 1)
                    washed.values[i] = carried;
            }
    }
    washed = blurred(washed, 3.0f * scale, Edge::wrap);

    const Rgb zinc = rgbBytes(150, 156, 160);
    const Rgb rustLight = rgbBytes(156, 84, 36), rustDark = rgbBytes(80, 38, 18);
    const Rgb washer = rgbBytes(84, 80, 76), head = rgbBytes(62, 58, 55);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Rgb colour = zinc * (0.9f + 0.2f * mottle.values[i] + 0.06f * (rolled.values[i] - 0.5f));
        Rgb rust = mix(rustDark, rustLight, rustTone.values[i]);
        float streak = washed.values[i] * (0.3f + 0.7f * smoothstep(0.3f, 0.8f, runs.values[i]));
        float stain = smoothstep(0.55f, 0.72f, patches.values[i]);
        colour = mix(colour, rust * 1.1f, 0.45f * stain + 0.7f * streak);
        // Where it has eaten in, the rust is pitted.
        float eaten = smoothstep(0.72f, 0.76f, patches.values[i]);
        Rgb pitted = rust * (0.8f - 0.25f * smoothstep(0.7f, 0.85f, pitting.values[i]));
        colour = mix(colour, pitted, eaten);
        colour = mix(colour, rust * 0.7f, rustRings.values[i] * (0.4f + 0.6f * runs.values[i]));
        Rgb fastener = mix(washer, head * std::min(headLight.values[i], 1.6f), heads.values[i]);
        colour = mix(colour, fastener, washers.values[i]);
        return colour * std::min(light.values[i], 1.35f);
    });
}

// Dark rusty steel: scaly rust, darker where it has flaked, pitted, with bare steel showing
// through in a few places. Tiles both ways. On the girders, which the camera flies past close.
Image rust()
{
    const Grid grid{256, 2};
    const int size = grid.pixels();
    const float scale = float(grid.scale);
    Plane broad = noisePlane(size, size, 4, 4, 6, 0.6f, 4000);
    Plane scales = noisePlane(size, size, 24, 24, 4, 0.55f, 4001);
    Plane flakes = noisePlane(size, size, 48, 48, 2, 0.4f, 4002);
    Plane ragged = fineNoise(grid, 4, 4003);
    Plane pits = fineNoise(grid, 2, 4004);
    Plane height(size, size);
    for (size_t i = 0; i < height.values.size(); ++i) {
        flakes.values[i] += 0.05f * (ragged.values[i] - 0.5f);
        float pit = smoothstep(0.8f, 0.9f, pits.values[i]);
        height.values[i] = 5.0f * broad.values[i] + 2.0f * scales.values[i]
                           - 1.5f * smoothstep(0.75f, 0.85f, flakes.values[i]) - 0.6f * pit;
    }
    Plane light = lit(height, 1.0f * scale, Edge::wrap);
    const Rgb steel = rgbBytes(70, 66, 66);
    const Rgb rustDark = rgbBytes(60, 28, 16), rustLight = rgbBytes(128, 62, 28);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Rgb colour = mix(rustDark, rustLight, smoothstep(0.15f, 0.85f, scales.values[i]));
        colour = mix(colour, steel, 0.8f * smoothstep(0.2f, 0.12f, broad.values[i]));
        colour = colour * (1.0f - 0.3f * smoothstep(0.75f, 0.85f, flakes.values[i]));
        return colour * std::min(light.values[i], 1.4f);
    });
}

// Worn yellow and black diagonal stripes: paint chipped down to the steel, scratched and
// dirty. The stripes repeat every 128 units along the diagonal, so the texture tiles.
Image hazard()
{
    const Grid grid{256, 2};
    const int size = grid.pixels();
    Plane chips = noisePlane(size, size, 16, 16, 4, 0.55f, 5000);
    Plane grime = noisePlane(size, size, 4, 4, 5, 0.6f, 5001);
    Plane metal = noisePlane(size, size, 32, 32, 3, 0.5f, 5002);
    Plane scratches = scratched(grid, {40, 10.0f, 50.0f, 0.3f, 0.8f, 0.0f, pi}, 5003, Edge::wrap);
    Plane ragged = fineNoise(grid, 4, 5004);
    const Rgb yellow = rgbBytes(232, 176, 20), black = rgbBytes(26, 24, 24);
    const Rgb steel = rgbBytes(120, 116, 112), rustBrown = rgbBytes(96, 50, 24);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Point p = grid.at(x, y);
        float phase = std::fmod(p.x + p.y, 128.0f);
        // Distance to the nearest stripe edge across the stripes (they run at 45 degrees).
        float isYellow = grid.sharp((std::abs(phase - 64.0f) - 32.0f) * 0.7071f);
        Rgb colour = mix(black, yellow, isYellow);
        float chipped = chips.values[i] + 0.3f * grime.values[i]
                        + 0.03f * (ragged.values[i] - 0.5f);
        Rgb bare = mix(steel, rustBrown, metal.values[i]);
        colour = mix(colour, colour * 0.55f, smoothstep(0.83f, 0.86f, chipped)); // paint's edge
        colour = mix(colour, bare, smoothstep(0.86f, 0.88f, chipped));
        colour = mix(colour, steel * 1.3f, 0.7f * scratches.values[i]);
        return colour * (0.75f + 0.3f * grime.values[i]);
    });
}

// ---- Lamp and environment ----------------------------------------------------------------------

// A round lamp lens behind a grille, bright warm white in the middle falling off to orange,
// in a dark housing screwed down at its corners. Drawn with an emissive material, so it feeds
// the glow.
Image lamp()
{
    const Grid grid{128, 2};
    const int size = grid.pixels();
    const float scale = float(grid.scale);
    const Point centre{64.0f, 64.0f};
    const float lensRadius = 46.0f, rimRadius = 56.0f;
    const Point screws[] = {{9.0f, 9.0f}, {119.0f, 9.0f}, {9.0f, 119.0f}, {119.0f, 119.0f}};
    const float screwRadius = 3.5f;
    Plane rimHeight(size, size);
    Plane grille(size, size);
    Plane screwHeads(size, size);
    Plane slots(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Point p = grid.at(x, y);
            float r = std::hypot(p.x - centre.x, p.y - centre.y);
            // -1 to 1 across the rim, which is rounded like a bead.
            float across = (2.0f * r - lensRadius - rimRadius) / (rimRadius - lensRadius);
            rimHeight.at(x, y) = 4.0f * std::sqrt(std::max(0.0f, 1.0f - across * across));
            float bars = std::numeric_limits<float>::max();
            for (float offset : {-27.0f, -9.0f, 9.0f, 27.0f})
                bars = std::min(bars, boxDistance(p, {64.0f, 64.0f + offset}, rimRadius, 2.5f));
            grille.at(x, y) = grid.sharp(bars) * grid.sharp(r - rimRadius + 2.0f);
            for (const Point& screw : screws) {
                screwHeads.at(x, y) = std::max(screwHeads.at(x, y),
                                               grid.sharp(circleDistance(p, screw, screwRadius)));
                // The slots lie at 45 degrees, as the screws were last turned.
                Point end{0.7071f * screwRadius, -0.7071f * screwRadius};
                slots.at(x, y) = std::max(slots.at(x, y),
                    grid.sharp(barDistance(p, {screw.x - end.x, screw.y - end.y},
                                           {screw.x + end.x, screw.y + end.y}, 0.5f)));
            }
        }
    Plane rimLight = lit(blurred(rimHeight, 1.0f, Edge::clamp), scale, Edge::clamp);
    Plane screwLight = lit(blurred(screwHeads, 2.0f * scale, Edge::clamp), 3.0f * scale,
                           Edge::clamp);
    Plane grilleShade = blurred(grille, 3.0f * scale, Edge::clamp);
    Plane housingNoise = noisePlane(size, size, 8, 8, 4, 0.5f, 6000);
    const Rgb hot = rgbBytes(255, 252, 230), warm = rgbBytes(255, 176, 60);
    const Rgb edgeOrange = rgbBytes(220, 96, 20), housing = rgbBytes(40, 38, 40);
    const Rgb rimMetal = rgbBytes(96, 94, 96), barMetal = rgbBytes(30, 28, 28);
    const Rgb screwMetal = rgbBytes(70, 68, 66);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Point p = grid.at(x, y);
        float r = std::hypot(p.x - centre.x, p.y - centre.y);
        float t = r / lensRadius;
        Rgb lens = t < 0.8f ? mix(hot, warm, smoothstep(0.2f, 0.8f, t))
                            : mix(warm, edgeOrange, smoothstep(0.8f, 1.0f, t));
        // The rings of a Fresnel lens.
        lens = lens * (0.975f + 0.025f * std::cos(r * 2.0f * pi / 5.0f));
        // The grille's bars shade the lens just behind them.
        lens = lens * (1.0f - 0.35f * grilleShade.values[i]);
        Rgb outside = mix(housing * (0.8f + 0.4f * housingNoise.values[i]),
                          rimMetal * rimLight.values[i], clamp01(rimHeight.values[i]));
        Rgb screw = screwMetal * std::min(screwLight.values[i], 1.8f)
                    * (1.0f - 0.7f * slots.values[i]);
        outside = mix(outside, screw, screwHeads.values[i]);
        Rgb colour = mix(outside, lens, grid.sharp((r - lensRadius) / 1.5f));
        return mix(colour, barMetal * (0.8f + 0.4f * housingNoise.values[i]), grille.values[i]);
    });
}

// The environment map, added onto polished metal through camera-space reflection vectors with
// wrapped coordinates: it must tile. Nearly black and without a tint of its own, so that tin
// stays the colour of tin, with the hall's lamps in it: warm round lamps and a few cold strip
// lights, which sweep across the faces as the crates turn and glint, and a faint band of light
// so that curved tin shows a gradient and not only points. Drawn finely so the glints stay
// points on a large screen.
Image envmap()
{
    const Grid grid{256, 2};
    const int size = grid.pixels();
    const float units = float(grid.units);
    Plane sky = noisePlane(size, size, 3, 3, 5, 0.55f, 7000);
    Plane haze = noisePlane(size, size, 6, 6, 4, 0.5f, 7001);
    struct Lamp {
        Point centre;
        float halfLength; // along x; 0 for a round lamp
        float radius;     // of the bright core
        Rgb core, halo;
    };
    const Rgb warmCore = rgbBytes(255, 232, 190), warmHalo = rgbBytes(255, 130, 40);
    const Rgb coolCore = rgbBytes(215, 232, 255), coolHalo = rgbBytes(60, 100, 200);
    const Lamp lamps[] = {
        {{40.0f, 52.0f}, 0.0f, 4.0f, warmCore, warmHalo},
        {{170.0f, 30.0f}, 0.0f, 3.0f, warmCore, warmHalo},
        {{200.0f, 170.0f}, 0.0f, 5.0f, warmCore, warmHalo},
        {{110.0f, 226.0f}, 0.0f, 3.5f, warmCore, warmHalo},
        {{96.0f, 130.0f}, 34.0f, 3.0f, coolCore, coolHalo},
        {{60.0f, 214.0f}, 22.0f, 2.5f, coolCore, coolHalo},
        {{226.0f, 96.0f}, 16.0f, 2.5f, coolCore, coolHalo},
    };
    const Rgb deep = rgbBytes(1, 1, 2), dusk = rgbBytes(5, 5, 7);
    const Rgb bandLight = rgbBytes(12, 11, 10);
    return fillImage(size, size, [&](int x, int y) {
        size_t i = size_t(y) * size_t(size) + size_t(x);
        Point p = grid.at(x, y);
        Rgb colour = mix(deep, dusk, sky.values[i] * (0.6f + 0.8f * haze.values[i]));
        float band = wrappedDelta(150.0f, p.y, units) / 30.0f;
        colour = colour + bandLight * (std::exp(-band * band) * (0.7f + 0.6f * haze.values[i]));
        for (const Lamp& lamp : lamps) {
            float dx = wrappedDelta(lamp.centre.x, p.x, units);
            float dy = wrappedDelta(lamp.centre.y, p.y, units);
            float distance = std::hypot(std::max(std::abs(dx) - lamp.halfLength, 0.0f), dy);
            float core = std::exp(-std::pow(distance / lamp.radius, 2.0f));
            float halo = std::exp(-distance / (3.0f * lamp.radius + 8.0f));
            colour = colour + lamp.core * core + lamp.halo * (0.05f * halo);
        }
        return colour;
    });
}

} // namespace

Image leadCrateFace() { return leadtin(); }

Image stackedCrateFace() { return tinplate(); }

void makeTextures(DataFolder& data)
{
    data.writeImage("tinplate.png", tinplate());
    data.writeImage("leadtin.png", leadtin());
    data.writeImage("corrugated.png", corrugated());
    data.writeImage("rust.png", rust());
    data.writeImage("hazard.png", hazard());
    data.writeImage("lamp.png", lamp());
    data.writeImage("envmap.png", envmap());
    // The beat's flash is added over the whole picture, at full strength on the beat and still
    // at a fifth of it half a beat later: a warm white at under a third of full brightness
    // lifts the dark into a pulse of light and leaves the picture showing through, instead of
    // burning it out and hazing the beat that follows.
    data.writeImage("white.png", Image(8, 8, 0xFF54483Au));
    data.writeImage("black.png", Image(8, 8, 0xFF000000u));
}

} // namespace tincrates::cratesmith

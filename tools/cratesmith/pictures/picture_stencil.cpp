// The stencil letters, drawn from square-ended strokes in a cell of cap height 1.
#include "tools/cratesmith/pictures/picture_stencil.h"

#include "tools/cratesmith/pictures/picture_shapes.h"

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace tincrates::cratesmith {

namespace {

constexpr float halfStroke = 0.09f; // of the cap height: a bold stencil
constexpr float letterGap = 0.16f;

struct Bar {
    Point a, b;
};

struct Arc {
    Point centre;
    float radius, from, to; // degrees
};

struct Glyph {
    char character;
    float width;
    std::vector<Bar> bars;
    std::vector<Arc> arcs;
};

// Rounded letters are a stadium: two half circles joined by straight sides. The bridges are the
// gaps left between strokes (a split arc, a bar that stops short of the one it meets).
constexpr float roundRadius = 0.31f - halfStroke;

const std::vector<Glyph>& glyphs()
{
    static const std::vector<Glyph> table = {
        {' ', 0.35f, {}, {}},
        {'-', 0.42f, {{{0.05f, 0.56f}, {0.37f, 0.56f}}}, {}},
        {'0', 0.62f,
         {{{0.09f, 0.31f}, {0.09f, 0.69f}}, {{0.53f, 0.31f}, {0.53f, 0.69f}}},
         {{{0.31f, 0.31f}, roundRadius, 180.0f, 261.0f},
          {{0.31f, 0.31f}, roundRadius, 279.0f, 360.0f},
          {{0.31f, 0.69f}, roundRadius, 0.0f, 81.0f},
          {{0.31f, 0.69f}, roundRadius, 99.0f, 180.0f}}},
        {'1', 0.48f,
         {{{0.38f, 0.0f}, {0.38f, 1.0f}}, {{0.0f, 0.40f}, {0.36f, 0.06f}}},
         {}},
        {'7', 0.60f,
         {{{0.0f, 0.09f}, {0.60f, 0.09f}}, {{0.50f, 0.26f}, {0.20f, 1.0f}}},
         {}},
        {'C', 0.60f,
         {{{0.09f, 0.31f}, {0.09f, 0.69f}}},
         {{{0.31f, 0.31f}, roundRadius, 180.0f, 322.0f},
          {{0.31f, 0.69f}, roundRadius, 38.0f, 180.0f}}},
        {'T', 0.62f,
         {{{0.0f, 0.09f}, {0.62f, 0.09f}}, {{0.31f, 0.25f}, {0.31f, 1.0f}}},
         {}},
    };
    return table;
}

const Glyph& findGlyph(char character)
{
    for (const Glyph& glyph : glyphs())
        if (glyph.character == character)
            return glyph;
    throw std::invalid_argument(std::string("no stencil letter for '") + character + "'");
}

// Draws the coverage of a shape given by its distance function inside a box of pixels.
template <typename Distance>
void drawShape(Plane& plane, float left, float top, float right, float bottom,
               Distance distanceAt)
{
    int x0 = std::max(0, int(left) - 2), x1 = std::min(plane.width - 1, int(right) + 2);
    int y0 = std::max(0, int(top) - 2), y1 = std::min(plane.height - 1, int(bottom) + 2);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float covered = coverage(distanceAt(Point{float(x) + 0.5f, float(y) + 0.5f}));
            plane.at(x, y) = std::max(plane.at(x, y), covered);
        }
}

} // namespace

float stencilWidth(std::string_view text, float height)
{
    float width = 0.0f;
    for (char character : text)
        width += findGlyph(character).width + letterGap;
    return text.empty() ? 0.0f : (width - letterGap) * height;
}

void drawStencil(Plane& plane, std::string_view text, float left, float top, float height)
{
    stencilWidth(text, height); // refuses unknown letters before anything is drawn
    float x = left;
    for (char character : text) {
        const Glyph& glyph = findGlyph(character);
        auto place = [&](Point p) { return Point{x + p.x * height, top + p.y * height}; };
        drawShape(plane, x, top, x + glyph.width * height, top + height, [&](Point p) {
            float distance = std::numeric_limits<float>::max();
            for (const Bar& bar : glyph.bars)
                distance = std::min(
                    distance, barDistance(p, place(bar.a), place(bar.b), halfStroke * height));
            for (const Arc& arc : glyph.arcs)
                distance = std::min(distance, arcDistance(p, place(arc.centre), arc.radius * height,
                                                          halfStroke * height, arc.from, arc.to));
            return distance;
        });
        x += (glyph.width + letterGap) * height;
    }
}

void drawUpArrows(Plane& plane, float centreX, float top, float height)
{
    float h = height;
    for (float side : {-1.0f, 1.0f}) {
        float x = centreX + side * 0.32f * h;
        drawShape(plane, x - 0.25f * h, top, x + 0.25f * h, top + 0.8f * h, [&](Point p) {
            float head = triangleDistance(p, {x, top}, {x + 0.23f * h, top + 0.34f * h},
                                          {x - 0.23f * h, top + 0.34f * h});
            float stem = barDistance(p, {x, top + 0.30f * h}, {x, top + 0.78f * h}, 0.07f * h);
            return std::min(head, stem);
        });
    }
    drawShape(plane, centreX - 0.6f * h, top + 0.84f * h, centreX + 0.6f * h, top + h,
              [&](Point p) {
                  return barDistance(p, {centreX - 0.58f * h, top + 0.93f * h},
                                     {centreX + 0.58f * h, top + 0.93f * h}, 0.06f * h);
              });
}

} // namespace tincrates::cratesmith

// Shapes as signed distances in pixels (negative inside), and the antialiased coverage a
// distance gives. Pictures are drawn by taking the coverage of a shape at each pixel centre.
#pragma once

#include "tools/cratesmith/pictures/picture_plane.h"

#include <cmath>

namespace tincrates::cratesmith {

// A point, or a direction, in pixels (rows grow downwards).
struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

// An axis-aligned box of half-size halfWidth × halfHeight around `centre`, corners rounded by
// `cornerRadius`.
inline float boxDistance(Point p, Point centre, float halfWidth, float halfHeight,
                         float cornerRadius = 0.0f)
{
    float qx = std::abs(p.x - centre.x) - halfWidth + cornerRadius;
    float qy = std::abs(p.y - centre.y) - halfHeight + cornerRadius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - cornerRadius;
}

// A straight stroke from a to b, `halfWidth` to each side, cut off square at both ends.
inline float barDistance(Point p, Point a, Point b, float halfWidth)
{
    float dx = b.x - a.x, dy = b.y - a.y;
    float length = std::hypot(dx, dy);
    float ux = dx / length, uy = dy / length;
    float px = p.x - 0.5f * (a.x + b.x), py = p.y - 0.5f * (a.y + b.y);
    float along = std::abs(px * ux + py * uy) - 0.5f * length;
    float across = std::abs(-px * uy + py * ux) - halfWidth;
    float outside = std::hypot(std::max(along, 0.0f), std::max(across, 0.0f));
    return outside + std::min(std::max(along, across), 0.0f);
}

// A stroke along a circle of `radius` around `centre` from angle `from` to `to` (degrees,
// clockwise on screen from the +x axis, from < to), cut off square at both ends.
inline float arcDistance(Point p, Point centre, float radius, float halfWidth, float from,
                         float to)
{
    const float degree = 3.14159265f / 180.0f;
    float dx = p.x - centre.x, dy = p.y - centre.y;
    float distance = std::hypot(dx, dy);
    float ring = std::abs(distance - radius) - halfWidth;
    // How far outside the angle range the point lies, measured along the circle.
    float middle = 0.5f * (from + to) * degree, half = 0.5f * (to - from) * degree;
    float offset = std::remainder(std::atan2(dy, dx) - middle, 2.0f * 3.14159265f);
    float beyond = (std::abs(offset) - half) * std::max(distance, radius - halfWidth);
    return std::max(ring, beyond);
}

// A disc of `radius` around `centre`.
inline float circleDistance(Point p, Point centre, float radius)
{
    return std::hypot(p.x - centre.x, p.y - centre.y) - radius;
}

// A triangle with corners a, b, c in clockwise order on screen (exact inside and along the
// edges, which is all antialiasing needs).
inline float triangleDistance(Point p, Point a, Point b, Point c)
{
    auto side = [&](Point from, Point to) {
        float dx = to.x - from.x, dy = to.y - from.y;
        return ((p.x - from.x) * dy - (p.y - from.y) * dx) / std::hypot(dx, dy);
    };
    return std::max({side(a, b), side(b, c), side(c, a)});
}

// The share of a pixel a shape covers, from the distance at the pixel's centre; `softness`
// widens the edge beyond one pixel.
inline float coverage(float distance, float softness = 1.0f)
{
    return clamp01(0.5f - distance / softness);
}

} // namespace tincrates::cratesmith

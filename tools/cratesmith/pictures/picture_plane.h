// Float pictures the generator draws in before an image is written: one-channel planes for
// heights, masks and coverage, RGB colours, and the few operations the textures and the
// lettering share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tincrates::cratesmith {

// How an operation that reaches past a plane's edge reads it: repeating, for textures that
// tile, or holding the nearest edge value.
enum class Edge { wrap, clamp };

struct Plane {
    Plane() = default;
    Plane(int width, int height, float fill = 0.0f)
        : width(width)
        , height(height)
        , values(size_t(width) * size_t(height), fill)
    {
    }

    float& at(int x, int y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
    float at(int x, int y) const { return values[size_t(y) * size_t(width) + size_t(x)]; }
    // Any x, y, read past the edges as `edge` says.
    float at(int x, int y, Edge edge) const;

    int width = 0;
    int height = 0;
    std::vector<float> values; // top row first
};

// A Gaussian-like blur whose reach is about `radius` pixels (three box passes along each axis).
// A radius below 0.5 returns the plane unchanged.
Plane blurred(const Plane& plane, float radius, Edge edge);

// The largest value within `radius` pixels along both axes (a square dilation).
Plane dilated(const Plane& plane, int radius, Edge edge);

// How a height field (in pixels times `steepness`) is lit by a lamp at the upper left: 1 where
// it is flat, more on slopes that face the lamp, less (down to 0) on those that face away.
Plane lit(const Plane& height, float steepness, Edge edge);

// Stretches the values linearly so that the smallest becomes 0 and the largest 1.
void stretch(Plane& plane);

inline float clamp01(float value) { return std::clamp(value, 0.0f, 1.0f); }

inline float smoothstep(float edge0, float edge1, float value)
{
    float t = clamp01((value - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// A colour with channels in 0..1 (they may leave that range while being worked on).
struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

constexpr Rgb rgbBytes(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb operator*(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

// The colour and an alpha as 0xAARRGGBB, each channel clamped to 0..1 and rounded.
uint32_t packPixel(Rgb colour, float alpha = 1.0f);

} // namespace tincrates::cratesmith

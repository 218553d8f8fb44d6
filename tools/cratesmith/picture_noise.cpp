// Hash, number stream and tiling value noise.
#include "tools/cratesmith/picture_noise.h"

#include <cmath>

namespace tincrates::cratesmith {

uint32_t hashPoint(int x, int y, uint32_t seed)
{
    // Two rounds of multiply and xor-shift (the finaliser of a well-known 32-bit hash).
    uint32_t h = seed * 0x9E3779B9u ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

uint64_t Random::next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float valueNoise(float x, float y, int periodX, int periodY, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    auto corner = [&](int cx, int cy) {
        cx = ((cx % periodX) + periodX) % periodX;
        cy = ((cy % periodY) + periodY) % periodY;
        return float(hashPoint(cx, cy, seed) >> 8) * (1.0f / 16777215.0f);
    };
    // Quintic fade: no visible creases along the lattice lines.
    auto fade = [](float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); };
    float tx = fade(x - fx), ty = fade(y - fy);
    float top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * tx;
    float bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

Plane noisePlane(int width, int height, int cellsX, int cellsY, int octaves, float gain,
                 uint32_t seed)
{
    Plane plane(width, height);
    float amplitude = 1.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        float stepX = float(cellsX) / float(width), stepY = float(cellsY) / float(height);
        uint32_t octaveSeed = seed * 31u + uint32_t(octave);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                plane.at(x, y) += amplitude * valueNoise((float(x) + 0.5f) * stepX,
                                                         (float(y) + 0.5f) * stepY, cellsX,
                                                         cellsY, octaveSeed);
        cellsX *= 2;
        cellsY *= 2;
        amplitude *= gain;
    }
    stretch(plane);
    return plane;
}

} // namespace tincrates::cratesmith

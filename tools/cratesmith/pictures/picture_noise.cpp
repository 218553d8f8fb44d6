// Hash, number stream and tiling value noise.
#include "tools/cratesmith/pictures/picture_noise.h"

#include <cmath>
#include <vector>

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

Plane noisePlane(int width, int height, int cellsX, int cellsY, int octaves, float gain,
                 uint32_t seed)
{
    // Value noise: random values at the lattice points, blended between them with a quintic
    // fade, which leaves no visible creases along the lattice lines. Each octave's lattice
    // values and each column's and row's cell and fade are worked out once.
    auto fade = [](float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); };
    struct Step {
        int cell;
        float fade;
    };
    auto steps = [&](int pixels, int cells) {
        std::vector<Step> result(static_cast<size_t>(pixels));
        for (int i = 0; i < pixels; ++i) {
            float position = (float(i) + 0.5f) * float(cells) / float(pixels);
            float cell = std::floor(position);
            result[size_t(i)] = {int(cell) % cells, fade(position - cell)};
        }
        return result;
    };
    Plane plane(width, height);
    float amplitude = 1.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        uint32_t octaveSeed = seed * 31u + uint32_t(octave);
        std::vector<float> lattice(size_t(cellsX) * size_t(cellsY));
        for (int y = 0; y < cellsY; ++y)
            for (int x = 0; x < cellsX; ++x)
                lattice[size_t(y) * size_t(cellsX) + size_t(x)]
                    = float(hashPoint(x, y, octaveSeed) >> 8) * (1.0f / 16777215.0f);
        auto columns = steps(width, cellsX), rows = steps(height, cellsY);
        for (int y = 0; y < height; ++y) {
            const Step row = rows[size_t(y)];
            const float* top = &lattice[size_t(row.cell) * size_t(cellsX)];
            const float* bottom = &lattice[size_t((row.cell + 1) % cellsY) * size_t(cellsX)];
            for (int x = 0; x < width; ++x) {
                const Step column = columns[size_t(x)];
                int left = column.cell, right = (column.cell + 1) % cellsX;
                float upper = top[left] + (top[right] - top[left]) * column.fade;
                float lower = bottom[left] + (bottom[right] - bottom[left]) * column.fade;
                plane.at(x, y) += amplitude * (upper + (lower - upper) * row.fade);
            }
        }
        cellsX *= 2;
        cellsY *= 2;
        amplitude *= gain;
    }
    stretch(plane);
    return plane;
}

} // namespace tincrates::cratesmith

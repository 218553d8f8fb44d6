// Seeded randomness for the generator's pictures: a hash, a number stream and value noise that
// tiles. All integer arithmetic of our own, so every run and every machine gets the same numbers.
#pragma once

#include "tools/cratesmith/pictures/picture_plane.h"

#include <cstdint>

namespace tincrates::cratesmith {

// A well-mixed 32-bit hash of a lattice point and a seed.
uint32_t hashPoint(int x, int y, uint32_t seed);

// A stream of pseudo-random numbers (SplitMix64) that depends on nothing but its seed.
class Random {
public:
    explicit Random(uint64_t seed)
        : state(seed)
    {
    }

    uint64_t next();
    // Uniform in [0, 1).
    float unit() { return float(next() >> 40) * (1.0f / 16777216.0f); }
    // Uniform in [low, high).
    float range(float low, float high) { return low + (high - low) * unit(); }
    // Uniform in 0 .. count - 1.
    int below(int count) { return int(next() % uint64_t(count)); }

private:
    uint64_t state;
};

// A width × height plane of smooth fractal value noise that tiles: its coarsest octave has
// cellsX × cellsY cells over the plane, each further octave twice as many in both directions at
// `gain` times the amplitude. Stretched to fill 0..1 exactly.
Plane noisePlane(int width, int height, int cellsX, int cellsY, int octaves, float gain,
                 uint32_t seed);

} // namespace tincrates::cratesmith

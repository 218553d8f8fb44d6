// A small production made on the spot, for tests and benchmarks that play the whole program:
// a silent soundtrack made with LAME, a scene of four crates, one material and solid-colour
// images, laid out in data/ as the production expects to find them.
#pragma once

#include "testbed/headless_device.h"
#include "testbed/mp3_maker.h"
#include "testbed/scratch_dir.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tincrates::testing {

// An MP3 of silence, `seconds` long, small and quick to decode (8 kHz mono); made once per
// length.
inline const std::string& silentSoundtrack(double seconds)
{
    static std::vector<std::pair<double, std::string>> made;
    for (auto& [length, mp3] : made)
        if (length == seconds)
            return mp3;
    made.emplace_back(seconds, encodeMp3(makeSilence(seconds, 8000, 1), 16));
    return made.back().second;
}

// The demo time reached at the end of the production, 232 beats, is 107.96 s of music.
constexpr double soundtrackSecondsPastEnd = 109.0;

// An image of one colour, 0xAARRGGBB, written as a PNG to `path`.
inline void writeSolidPng(const std::string& path, uint32_t colour, UINT size = 4)
{
    writePng(path, size, size, std::vector<uint32_t>(size_t(size) * size, colour));
}

// The colour of text image k: red grows with the number, so a pixel tells which is shown.
inline uint32_t textColour(unsigned k) { return 0xFF00C864u | (uint32_t(k * 10) << 16); }
constexpr uint32_t creditsColour = 0xFF3050F0u;

// A MESH1 cube of edge `size` around the origin, one group with material `materialName`.
inline std::string cubeMesh(float size, const std::string& materialName)
{
    struct Vertex {
        float x, y, z, nx, ny, nz;
        uint32_t colour;
        float u, v;
    };
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    float h = size / 2;
    // Each face: a normal axis and sign; its four corners are wound clockwise seen from
    // outside, so they face the viewer under counter-clockwise culling.
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {-1.0f, 1.0f}) {
            int u = (axis + 1) % 3;
            int v = (axis + 2) % 3;
            auto base = uint16_t(vertices.size());
            float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
            for (auto& corner : corners) {
                float p[3] = {};
                float n[3] = {};
                p[axis] = sign * h;
                p[u] = corner[0] * h * sign;
                p[v] = corner[1] * h;
                n[axis] = sign;
                vertices.push_back({p[0], p[1], p[2], n[0], n[1], n[2], 0,
                    (corner[0] + 1) / 2, (corner[1] + 1) / 2});
            }
            for (int i : {0, 1, 2, 0, 2, 3})
                indices.push_back(uint16_t(base + i));
        }
    }
    std::string file = "MESH1";
    auto append = [&file](const void* data, size_t size) {
        file.append(static_cast<const char*>(data), size);
    };
    auto count = uint32_t(vertices.size());
    append(&count, 4);
    append(vertices.data(), vertices.size() * sizeof(Vertex));
    uint32_t groupCount = 1;
    append(&groupCount, 4);
    file += materialName;
    file += '\0';
    auto triangles = uint32_t(indices.size() / 3);
    append(&triangles, 4);
    append(indices.data(), indices.size() * 2);
    return file;
}

// The scene of the test production: object 0 a grouping node, object 1 the lead crate with
// three smaller crates nested in it, and a light of its own.
inline const char* testScene = R"(<scene>
  <ambient r="0.2" g="0.2" b="0.2"/>
  <object/>
  <object mesh="crate.mesh">
    <object mesh="crate.mesh"><position x="12"/><scale x="0.5" y="0.5" z="0.5"/></object>
    <object mesh="crate.mesh"><position x="-12"/><scale x="0.5" y="0.5" z="0.5"/></object>
    <object mesh="crate.mesh"><position y="12"/><scale x="0.5" y="0.5" z="0.5"/></object>
  </object>
  <light><position x="0" y="100" z="0"/><diffuse r="0.5" g="0.5" b="0.5"/></light>
</scene>
)";

inline const char* testMaterial = R"(<material>
  <diffuse r="1" g="0.6" b="0.2"/>
  <texture file="crate.png"/>
</material>
)";

// Lays out a whole production in data/ below the current folder, with a soundtrack that
// lasts past the end of the production.
inline void writeTestProduction(const ScratchDir& folder)
{
    folder.write("data/soundtrk.mp3", silentSoundtrack(soundtrackSecondsPastEnd));
    folder.write("data/voltcrate.scene", testScene);
    folder.write("data/crate.mesh", cubeMesh(10.0f, "crate.material"));
    folder.write("data/crate.material", testMaterial);
    writeSolidPng("data/crate.png", 0xFFFFFFFFu);
    writeSolidPng("data/white.png", 0xFFFFFFFFu);
    writeSolidPng("data/black.png", 0xFF000000u);
    writeSolidPng("data/credits.png", creditsColour);
    for (unsigned k = 0; k < 23; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "data/text%02u.png", k);
        writeSolidPng(name, textColour(k));
    }
}

} // namespace tincrates::testing

// Scene rendering headless at 640 × 480: about 2,000 lit, textured, fogged triangles as 167
// crates of 12 triangles each (one draw per crate, as the production draws its cubes), and the
// same triangles as one mesh, against an empty scene. Each frame ends with the back buffer read
// back, so the renderer has finished the frame before the clock stops.
#include "platform/gpu/shared_device.h"
#include "scene/scene_manager.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace tincrates {
namespace {

constexpr UINT width = 640;
constexpr UINT height = 480;
constexpr int crateCount = 167; // 2,004 triangles

struct FileVertex {
    float x, y, z, nx, ny, nz;
    uint32_t colour;
    float u, v;
};

template <class T>
void append(std::string& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The six faces of a unit crate centred on `centre`: 24 vertices, 12 triangles.
void addCrate(std::vector<FileVertex>& vertices, std::vector<uint16_t>& indices, float cx,
    float cy, float cz)
{
    const float normals[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1},
        {0, 0, -1}};
    for (const auto& n : normals) {
        // Two axes across the face, perpendicular to the normal and to each other.
        const float a[3] = {n[1], n[2], n[0]};
        const float b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2],
            n[0] * a[1] - n[1] * a[0]};
        auto base = uint16_t(vertices.size());
        const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
        for (const auto& c : corners) {
            FileVertex v{};
            v.x = cx + 0.5f * (n[0] + c[0] * a[0] + c[1] * b[0]);
            v.y = cy + 0.5f * (n[1] + c[0] * a[1] + c[1] * b[1]);
            v.z = cz + 0.5f * (n[2] + c[0] * a[2] + c[1] * b[2]);
            v.nx = n[0];
            v.ny = n[1];
            v.nz = n[2];
            v.u = (c[0] + 1) * 0.5f;
            v.v = (c[1] + 1) * 0.5f;
            vertices.push_back(v);
        }
        for (uint16_t i : {0, 1, 2, 0, 2, 3})
            indices.push_back(uint16_t(base + i));
    }
}

std::string meshFile(int crates)
{
    std::vector<FileVertex> vertices;
    std::vector<uint16_t> indices;
    int side = int(std::ceil(std::sqrt(double(crates))));
    for (int i = 0; i < crates; ++i)
        addCrate(vertices, indices, float(i % side * 2 - side + 1),
            float(i / side * 2 - side + 1), 0);
    std::string out = "MESH1";
    append(out, uint32_t(vertices.size()));
    for (const FileVertex& v : vertices)
        append(out, v);
    append(out, uint32_t(1));
    out += std::string("crate.mat") + '\0';
    append(out, uint32_t(indices.size() / 3));
    for (uint16_t i : indices)
        append(out, i);
    return out;
}

// A folder with a checker texture, the crate material, one-crate and many-crate meshes and
// the scenes built of them.
struct SceneFiles {
    SceneFiles()
    {
        std::vector<uint32_t> checker(64 * 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                checker[size_t(y) * 64 + size_t(x)] = ((x / 8 + y / 8) % 2) ? 0xFFC08040u
                                                                           : 0xFF604020u;
        std::filesystem::create_directories(folder.path / "data");
        testing::writePng((folder.path / "data/crate.png").string(), 64, 64, checker);
        folder.write("data/crate.mat", R"(<material><diffuse r="0.9" g="0.8" b="0.7"/>
            <texture file="crate.png"/></material>)");
        folder.write("data/crate.mesh", meshFile(1));
        folder.write("data/crates.mesh", meshFile(crateCount));

        int side = int(std::ceil(std::sqrt(double(crateCount))));
        std::string many = "<scene><ambient r=\"0.2\" g=\"0.2\" b=\"0.2\"/>";
        for (int i = 0; i < crateCount; ++i)
            many += "<object mesh=\"crate.mesh\"><position x=\""
                + std::to_string(i % side * 2 - side + 1) + "\" y=\""
                + std::to_string(i / side * 2 - side + 1)
                + "\"/><rotation x=\"0.2\" y=\"0.3\" w=\"0.9\"/></object>";
        many += "<light><position x=\"10\" y=\"20\" z=\"-30\"/></light>"
                "<light><position x=\"-20\" z=\"-10\"/><diffuse r=\"0.3\" g=\"0.3\"/></light>"
                "</scene>";
        folder.write("data/many.scene", many);
        folder.write("data/one.scene", "<scene><object mesh=\"crates.mesh\"/><light>"
                                       "<position x=\"10\" y=\"20\" z=\"-30\"/></light></scene>");
        folder.write("data/empty.scene", "<scene/>");
    }

    testing::ScratchDir folder;
};

void renderFrames(benchmark::State& state, const char* sceneName)
{
    testing::HeadlessDevice device(width, height);
    publishSharedDevice(device.get());
    {
        SceneFiles files;
        SceneManager manager;
        Scene& scene = *manager.get(sceneName);
        Camera camera;
        camera.aspect = float(width) / float(height);
        camera.transform.position = {0, 0, -24};
        scene.cameras.push_back(&camera);
        scene.fogEnabled = true;
        scene.fogColour = {0.3f, 0.3f, 0.4f, 1.0f};
        scene.fogStart = 20.0f;
        scene.fogEnd = 40.0f;
        for (auto _ : state) {
            device->BeginScene();
            scene.render(0, true);
            device->EndScene();
            benchmark::DoNotOptimize(device.readBack());
        }
        state.counters["fps"] = benchmark::Counter(double(state.iterations()),
            benchmark::Counter::kIsRate);
    }
    publishSharedDevice(nullptr);
}

void crates(benchmark::State& state) { renderFrames(state, "many.scene"); }
void oneMesh(benchmark::State& state) { renderFrames(state, "one.scene"); }
void emptyScene(benchmark::State& state) { renderFrames(state, "empty.scene"); }

BENCHMARK(crates)->Unit(benchmark::kMillisecond);
BENCHMARK(oneMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(emptyScene)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tincrates

// An input as the scene file, loaded through the scene manager, with one small mesh and its
// material beside it, so that objects naming "crate.mesh" load the whole way.
#include "fuzz/fuzz_target.h"
#include "scene/scene_manager.h"

#include <cstring>
#include <vector>

namespace {

// A MESH1 triangle drawn with "crate.material".
std::vector<uint8_t> triangleMesh()
{
    std::vector<uint8_t> file{'M', 'E', 'S', 'H', '1'};
    auto append = [&file](const void* data, size_t size) {
        auto bytes = static_cast<const uint8_t*>(data);
        file.insert(file.end(), bytes, bytes + size);
    };
    uint32_t vertexCount = 3;
    append(&vertexCount, 4);
    for (int i = 0; i < 3; ++i) {
        float vertex[9] = {float(i), float(i == 1), 0, 0, 0, -1, 0, float(i) / 2, 0};
        append(vertex, sizeof vertex);
    }
    uint32_t groupCount = 1;
    append(&groupCount, 4);
    append("crate.material", std::strlen("crate.material") + 1);
    uint32_t triangleCount = 1;
    append(&triangleCount, 4);
    uint16_t indices[3] = {0, 1, 2};
    append(indices, sizeof indices);
    return file;
}

} // namespace

TINCRATES_FUZZ_TARGET(scene_file)
{
    static const std::vector<uint8_t> mesh = triangleMesh();
    static const std::string material = "<material><diffuse r=\"1\" g=\"0.5\" b=\"0\"/></material>";
    tincrates::fuzz::enterWorkFolder();
    tincrates::fuzz::writeWorkFile("data/crate.mesh", mesh);
    tincrates::fuzz::writeWorkFile(
        "data/crate.material",
        {reinterpret_cast<const uint8_t*>(material.data()), material.size()});
    tincrates::fuzz::writeWorkFile("data/voltcrate.scene", input);
    tincrates::SceneManager scenes;
    try {
        scenes.get("voltcrate.scene");
    } catch (const std::string&) {
    }
}

// A small mesh of two groups (one empty) for the tests of the MESH1 codec and of meshconv.
#pragma once

#include "scene/mesh1_file.h"

namespace tincrates::testing {

inline MeshData sampleMesh()
{
    MeshData mesh;
    mesh.vertices.push_back({-1, 0, 2, 0, 0, -1, 0xFFFFFFFF, 0, 1});
    mesh.vertices.push_back({1, 0, 2, 0, 0, -1, 0xFFFFFFFF, 1, 1});
    mesh.vertices.push_back({0, 3, -2, 0, 0, -1, 0xFFFFFFFF, 0.5f, 0});
    mesh.groups.push_back({"crate.mat", {0, 2, 1}});
    mesh.groups.push_back({"empty.mat", {}});
    return mesh;
}

} // namespace tincrates::testing

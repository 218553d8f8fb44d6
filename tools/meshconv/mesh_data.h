// A readable summary of a MESH1 mesh, for meshconv's info command.
#pragma once

#include "scene/mesh1_file.h"

#include <string>

namespace tincrates::meshconv {

// A few lines describing `mesh`: counts, bounds and each group's material and index range.
std::string describeMesh(const MeshData& mesh);

} // namespace tincrates::meshconv

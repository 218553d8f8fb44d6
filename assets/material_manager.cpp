// The material file reader.
#include "assets/material_manager.h"

namespace tincrates {

Material* MaterialManager::load(const std::string&)
{
    throw std::string("File not found");
}

} // namespace tincrates

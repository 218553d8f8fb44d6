// The one sampling the production draws with: linear filtering between texels and between mip
// levels on all eight samplers.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates {

// The entry sets this once, before anything is built, and again on a new back buffer, whose
// states start at their defaults; nothing else changes the filters. Tests and benchmarks that
// draw as the production does set it the same way.
void useLinearFiltering(IDirect3DDevice9& device);

} // namespace tincrates

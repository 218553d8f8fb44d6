// The one Direct3D device of the run. The display publishes it when it has created it and
// withdraws it when it closes; everything that draws or creates resources reaches it here.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates {

// The published device, or null when none is. Main thread only.
IDirect3DDevice9* sharedDevice();

// Makes `device` the shared device (not owned: the publisher keeps its reference and must
// withdraw it, by publishing null, before releasing it).
void publishSharedDevice(IDirect3DDevice9* device);

} // namespace tincrates

// The one Direct3D device of the run.
#include "platform/gpu/shared_device.h"

namespace tincrates {

namespace {

IDirect3DDevice9* published = nullptr; // not owned

} // namespace

IDirect3DDevice9* sharedDevice() { return published; }

void publishSharedDevice(IDirect3DDevice9* device) { published = device; }

} // namespace tincrates

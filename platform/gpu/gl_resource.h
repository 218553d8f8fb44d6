// Module-internal to the GL back-end: the reference counting that its Direct3D objects share.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates::gl {

class GlDevice;

// Defined with the device: hands out the device with a new reference, and tells it that one
// of its objects is gone (the device outlives the last of them).
HRESULT getDevice(GlDevice& device, IDirect3DDevice9** result);
void noteResourceDestroyed(GlDevice& device);

// An object of `Interface` counted two ways: the public count that AddRef and Release return,
// and internal references from the device's bindings and from state blocks, which, as in
// Direct3D 9, keep the object alive without showing in the public count. The object is
// deleted (as a `Derived`) when both reach zero.
template <class Derived, class Interface>
class GlResource : public Interface {
public:
    ULONG AddRef() override { return ++refCount; }

    ULONG Release() override
    {
        if (refCount == 0)
            return 0;
        ULONG count = --refCount;
        if (count == 0 && internalCount == 0)
            destroy();
        return count;
    }

    HRESULT GetDevice(IDirect3DDevice9** result) override { return getDevice(device, result); }

    void holdInternally() { ++internalCount; }

    void releaseInternally()
    {
        if (--internalCount == 0 && refCount == 0)
            destroy();
    }

protected:
    explicit GlResource(GlDevice& device)
        : device(device)
    {
    }
    ~GlResource() = default;

    GlDevice& device; // not owned; outlives every resource

private:
    void destroy()
    {
        GlDevice& owner = device;
        delete static_cast<Derived*>(this);
        noteResourceDestroyed(owner);
    }

    ULONG refCount = 1;
    ULONG internalCount = 0;
};

} // namespace tincrates::gl

// Module-internal to the GL back-end: vertex and index buffers over GL buffer objects. Each
// keeps a system copy that Lock hands out; Unlock sends the locked range to GL.
#pragma once

#include "platform/d3d9.h"

#include <GLES3/gl3.h>

#include <cstdint>
#include <vector>

namespace tincrates::gl {

class GlDevice;

// The shared working of both buffer kinds.
class GlBufferStorage {
public:
    // Throws a text when GL cannot make the buffer.
    GlBufferStorage(GlDevice& device, UINT length, DWORD usage);
    GlBufferStorage(const GlBufferStorage&) = delete;
    GlBufferStorage& operator=(const GlBufferStorage&) = delete;
    ~GlBufferStorage();

    HRESULT lock(UINT offset, UINT size, void** data);
    HRESULT unlock();
    GLuint name() const { return buffer; }
    UINT length() const { return UINT(copy.size()); }
    // The system copy, as last unlocked.
    const uint8_t* data() const { return copy.data(); }

private:
    GlDevice& device; // not owned
    std::vector<uint8_t> copy;
    GLuint buffer = 0;
    bool isLocked = false;
    UINT lockedOffset = 0, lockedSize = 0;
};

class GlVertexBuffer final : public IDirect3DVertexBuffer9 {
public:
    GlVertexBuffer(GlDevice& device, UINT length, DWORD usage);
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return storage.unlock(); }
    const GlBufferStorage& buffer() const { return storage; }
    // The device's and state blocks' references, not shown in the count.
    void holdInternally() { ++internalCount; }
    void releaseInternally();

private:
    ~GlVertexBuffer();
    void destroy();
    GlDevice& device; // not owned
    GlBufferStorage storage;
    ULONG refCount = 1;
    ULONG internalCount = 0;
};

class GlIndexBuffer final : public IDirect3DIndexBuffer9 {
public:
    GlIndexBuffer(GlDevice& device, UINT length, DWORD usage, D3DFORMAT format);
    ULONG AddRef() override { return ++refCount; }
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return storage.unlock(); }
    const GlBufferStorage& buffer() const { return storage; }
    D3DFORMAT format() const { return indexFormat; }
    void holdInternally() { ++internalCount; }
    void releaseInternally();

private:
    ~GlIndexBuffer();
    void destroy();
    GlDevice& device; // not owned
    GlBufferStorage storage;
    D3DFORMAT indexFormat;
    ULONG refCount = 1;
    ULONG internalCount = 0;
};

} // namespace tincrates::gl

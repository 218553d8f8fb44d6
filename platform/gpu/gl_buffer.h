// Module-internal to the GL back-end: vertex and index buffers over GL buffer objects. Each
// keeps a system copy that Lock hands out; Unlock sends the locked range to GL.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_resource.h"

#include <GLES3/gl3.h>

#include <cstdint>
#include <vector>

namespace tincrates::gl {

class GlDevice;

// The shared working of both buffer kinds.
class GlBufferStorage {
public:
    enum class Kind { Vertices, Indices };

    // Throws a text when GL cannot make the buffer.
    GlBufferStorage(GlDevice& device, UINT length, DWORD usage, Kind kind);
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
    // Binds the buffer for filling; returns the target it is bound to.
    GLenum bindForWriting();

    GlDevice& device; // not owned
    Kind kind;
    std::vector<uint8_t> copy;
    GLuint buffer = 0;
    bool isLocked = false;
    UINT lockedOffset = 0, lockedSize = 0;
};

class GlVertexBuffer final : public GlResource<GlVertexBuffer, IDirect3DVertexBuffer9> {
public:
    GlVertexBuffer(GlDevice& device, UINT length, DWORD usage);
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return storage.unlock(); }
    const GlBufferStorage& buffer() const { return storage; }

private:
    friend class GlResource<GlVertexBuffer, IDirect3DVertexBuffer9>;
    ~GlVertexBuffer() = default;
    GlBufferStorage storage;
};

class GlIndexBuffer final : public GlResource<GlIndexBuffer, IDirect3DIndexBuffer9> {
public:
    GlIndexBuffer(GlDevice& device, UINT length, DWORD usage, D3DFORMAT format);
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override { return storage.unlock(); }
    const GlBufferStorage& buffer() const { return storage; }
    D3DFORMAT format() const { return indexFormat; }

private:
    friend class GlResource<GlIndexBuffer, IDirect3DIndexBuffer9>;
    ~GlIndexBuffer() = default;
    GlBufferStorage storage;
    D3DFORMAT indexFormat;
};

} // namespace tincrates::gl

// Vertex and index buffers.
#include "platform/gpu/gl_buffer.h"

#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_device.h"

#include <string>

namespace tincrates::gl {

GlBufferStorage::GlBufferStorage(GlDevice& device, UINT length, DWORD usage, Kind kind)
    : device(device)
    , kind(kind)
    , copy(length, 0)
{
    glGenBuffers(1, &buffer);
    GLenum target = bindForWriting();
    glBufferData(target, length, copy.data(),
        (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        device.stateCache().forgetBuffer(buffer);
        glDeleteBuffers(1, &buffer);
        throw std::string("cannot create a buffer");
    }
}

GLenum GlBufferStorage::bindForWriting()
{
    // WebGL 2 gives a buffer its kind at its first binding, and only a buffer bound first to
    // the element target may ever hold indices; such a buffer cannot be bound to the copy
    // targets either. So indices go through the element binding, which is the vertex array's
    // and shadowed by the cache: the next indexed draw finds it already bound or binds its
    // own. Vertices go through the copy-write target, which leaves the array binding that
    // attribute set-up relies on alone.
    if (kind == Kind::Indices) {
        device.stateCache().bindElementBuffer(buffer);
        return GL_ELEMENT_ARRAY_BUFFER;
    }
    GL_CHECK(glBindBuffer(GL_COPY_WRITE_BUFFER, buffer));
    return GL_COPY_WRITE_BUFFER;
}

GlBufferStorage::~GlBufferStorage()
{
    device.useContext();
    device.stateCache().forgetBuffer(buffer);
    glDeleteBuffers(1, &buffer);
}

HRESULT GlBufferStorage::lock(UINT offset, UINT size, void** data)
{
    if (!data || isLocked || offset > copy.size())
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = UINT(copy.size()) - offset;
    if (size > copy.size() - offset)
        return D3DERR_INVALIDCALL;
    isLocked = true;
    lockedOffset = offset;
    lockedSize = size;
    *data = copy.data() + offset;
    return D3D_OK;
}

HRESULT GlBufferStorage::unlock()
{
    if (!isLocked)
        return D3DERR_INVALIDCALL;
    isLocked = false;
    if (lockedSize == 0)
        return D3D_OK;
    device.useContext();
    GLenum target = bindForWriting();
    GL_CHECK(glBufferSubData(target, lockedOffset, lockedSize, copy.data() + lockedOffset));
    return D3D_OK;
}

GlVertexBuffer::GlVertexBuffer(GlDevice& device, UINT length, DWORD usage)
    : GlResource(device)
    , storage(device, length, usage, GlBufferStorage::Kind::Vertices)
{
    device.resourceCreated();
}

HRESULT GlVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD)
{
    return storage.lock(offset, size, data);
}

GlIndexBuffer::GlIndexBuffer(GlDevice& device, UINT length, DWORD usage, D3DFORMAT format)
    : GlResource(device)
    , storage(device, length, usage, GlBufferStorage::Kind::Indices)
    , indexFormat(format)
{
    device.resourceCreated();
}

HRESULT GlIndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD)
{
    return storage.lock(offset, size, data);
}

} // namespace tincrates::gl

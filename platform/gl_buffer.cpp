// Vertex and index buffers.
#include "platform/gl_buffer.h"

#include "platform/gl_check.h"
#include "platform/gl_device.h"

#include <string>

namespace tincrates::gl {

GlBufferStorage::GlBufferStorage(GlDevice& device, UINT length, DWORD usage)
    : device(device)
    , copy(length, 0)
{
    glGenBuffers(1, &buffer);
    // The copy-write target leaves the array and element bindings that draws rely on alone.
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    glBufferData(GL_COPY_WRITE_BUFFER, length, copy.data(),
        (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteBuffers(1, &buffer);
        throw std::string("cannot create a buffer");
    }
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
    GL_CHECK(glBindBuffer(GL_COPY_WRITE_BUFFER, buffer));
    GL_CHECK(glBufferSubData(GL_COPY_WRITE_BUFFER, lockedOffset, lockedSize,
        copy.data() + lockedOffset));
    return D3D_OK;
}

GlVertexBuffer::GlVertexBuffer(GlDevice& device, UINT length, DWORD usage)
    : GlResource(device)
    , storage(device, length, usage)
{
    device.resourceCreated();
}

HRESULT GlVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD)
{
    return storage.lock(offset, size, data);
}

GlIndexBuffer::GlIndexBuffer(GlDevice& device, UINT length, DWORD usage, D3DFORMAT format)
    : GlResource(device)
    , storage(device, length, usage)
    , indexFormat(format)
{
    device.resourceCreated();
}

HRESULT GlIndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD)
{
    return storage.lock(offset, size, data);
}

} // namespace tincrates::gl

// Mesh drawing and the Direct3D buffers made at the first draw.
#include "scene/mesh.h"

#include "assets/material.h"
#include "platform/gpu/shared_device.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace tincrates {

MeshGroup::MeshGroup(MeshGroup&& other) noexcept
    : indices(std::move(other.indices)), material(other.material), minIndex(other.minIndex),
      endIndex(other.endIndex), indexBuffer(std::exchange(other.indexBuffer, nullptr))
{
}

MeshGroup& MeshGroup::operator=(MeshGroup&& other) noexcept
{
    if (this != &other) {
        if (indexBuffer)
            indexBuffer->Release();
        indices = std::move(other.indices);
        material = other.material;
        minIndex = other.minIndex;
        endIndex = other.endIndex;
        indexBuffer = std::exchange(other.indexBuffer, nullptr);
    }
    return *this;
}

MeshGroup::~MeshGroup()
{
    if (indexBuffer)
        indexBuffer->Release();
}

void MeshGroup::draw()
{
    IDirect3DDevice9* device = sharedDevice();
    if (indices.empty() || !device)
        return;
    if (!indexBuffer)
        createIndexBuffer(device);
    if (material)
        material->apply(true, true);
    device->SetIndices(indexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, minIndex, UINT(endIndex - minIndex), 0,
        UINT(indices.size() / 3));
}

void MeshGroup::createIndexBuffer(IDirect3DDevice9* device)
{
    UINT length = UINT(indices.size() * sizeof(uint16_t));
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (device->CreateIndexBuffer(length, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &buffer, nullptr) < 0
        || !buffer)
        throw std::string("Failed to create indexbuffer");

    // The tightest vertex range lets each draw touch only the vertices this group uses.
    auto [smallest, largest] = std::minmax_element(indices.begin(), indices.end());
    minIndex = *smallest;
    endIndex = uint16_t(*largest + 1);

    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != 0 || !data) {
        // A buffer never filled must not be drawn from at the next attempt.
        buffer->Release();
        throw std::string("Failed to lock indexbuffer");
    }
    std::memcpy(data, indices.data(), length);
    buffer->Unlock();
    indexBuffer = buffer;
}

Mesh::~Mesh()
{
    if (vertexBuffer)
        vertexBuffer->Release();
}

void Mesh::draw()
{
    IDirect3DDevice9* device = sharedDevice();
    if (vertices.empty() || !device)
        return;
    if (!vertexBuffer)
        createVertexBuffer(device);
    device->SetFVF(meshVertexFormat);
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(MeshVertex));
    for (MeshGroup& group : groups)
        group.draw();
}

void Mesh::createVertexBuffer(IDirect3DDevice9* device)
{
    UINT length = UINT(vertices.size() * sizeof(MeshVertex));
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (device->CreateVertexBuffer(length, 0, meshVertexFormat, D3DPOOL_MANAGED, &buffer, nullptr)
            < 0
        || !buffer)
        throw std::string("Failed to create vertexbuffer");

    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) != 0 || !data) {
        buffer->Release();
        throw std::string("Failed to lock vertexbuffer");
    }
    std::memcpy(data, vertices.data(), length);
    buffer->Unlock();
    vertexBuffer = buffer;
}

void destroyManagedAsset(Mesh* mesh)
{
    delete mesh;
}

} // namespace tincrates

// Mesh drawing and the Direct3D buffers made at the first draw.
#include "scene/mesh.h"

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

void MeshGroup::draw() {}

void MeshGroup::createIndexBuffer(IDirect3DDevice9*) {}

Mesh::~Mesh()
{
    if (vertexBuffer)
        vertexBuffer->Release();
}

void Mesh::draw() {}

void Mesh::createVertexBuffer(IDirect3DDevice9*) {}

void destroyManagedAsset(Mesh* mesh)
{
    delete mesh;
}

} // namespace tincrates

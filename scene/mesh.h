// Meshes: one vertex array shared by groups of indexed triangles, each drawn with a material.
#pragma once

#include "platform/gpu/d3d9.h"

#include <cstdint>
#include <vector>

namespace tincrates {

struct Material;

// One vertex as stored in a MESH1 file and in the vertex buffer (FVF 0x152, 36 bytes).
struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR colour;
    float u, v;
};
static_assert(sizeof(MeshVertex) == 36, "MESH1 vertex records are 36 bytes");

constexpr DWORD meshVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// A triangle list drawn with one material. Owns its index buffer.
class MeshGroup {
public:
    std::vector<uint16_t> indices;          // three per triangle
    Material* material = nullptr;           // not owned; null draws with the current states
    uint16_t minIndex = 0;                  // smallest index; set with the index buffer
    uint16_t endIndex = 0;                  // largest index + 1; set with the index buffer
    IDirect3DIndexBuffer9* indexBuffer = nullptr; // owned; made at the first draw

    MeshGroup() = default;
    MeshGroup(const MeshGroup&) = delete;
    MeshGroup& operator=(const MeshGroup&) = delete;
    MeshGroup(MeshGroup&& other) noexcept;
    MeshGroup& operator=(MeshGroup&& other) noexcept;
    ~MeshGroup();

    // Applies the material and draws the triangles; the mesh's vertices must be bound. Builds
    // the index buffer first if needed; throws "Failed to create indexbuffer" or "Failed to
    // lock indexbuffer". Does nothing without indices or without a shared device.
    void draw();

private:
    void createIndexBuffer(IDirect3DDevice9* device);
};

// A loaded MESH1 mesh. Owns its vertex buffer and groups; materials belong to their manager.
class Mesh {
public:
    std::vector<MeshVertex> vertices;
    std::vector<MeshGroup> groups;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr; // owned; made at the first draw

    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    virtual ~Mesh();

    // Draws every group with the current world transform. Builds the vertex buffer first if
    // needed; throws "Failed to create vertexbuffer", "Failed to lock vertexbuffer" or a group's
    // buffer text. Does nothing without vertices or without a shared device.
    virtual void draw();

private:
    void createVertexBuffer(IDirect3DDevice9* device);
};

// Frees a mesh of the mesh managers; accepts null.
void destroyManagedAsset(Mesh* mesh);

} // namespace tincrates

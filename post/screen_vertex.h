// Internal to post/: the vertex layout and vertex buffer shared by the blur passes and the
// screen quads. Not for use outside this folder.
#pragma once

#include "platform/gpu/d3d9.h"

#include <array>
#include <cstdint>

namespace tincrates {

// Position, ARGB colour, one texture coordinate: 24 bytes, FVF 0x142.
struct ScreenVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 24);

constexpr DWORD screenVertexFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// A managed vertex buffer holding `fan`, the four vertices of a triangle fan, written once.
// Throws "failed to create vertex buffer" or "failed to lock vertex buffer"; nothing is held
// after a throw. The caller owns the returned buffer (one reference).
IDirect3DVertexBuffer9* createFanBuffer(
    IDirect3DDevice9& device, const std::array<ScreenVertex, 4>& fan);

// The published shared device. Throws "no graphics device" when none is published, so that
// drawing objects made too early fail with a message instead of a null dereference.
IDirect3DDevice9& requireSharedDevice();

} // namespace tincrates

// Module-internal to the GL back-end (gl_device.cpp, gl_state_block.cpp): the Direct3D 9
// states a device holds and a state block records, with Direct3D 9's defaults.
#pragma once

#include "platform/gpu/d3d9.h"

#include <array>
#include <bitset>
#include <map>

namespace tincrates::gl {

constexpr int stageCount = 8;
constexpr int maxActiveLights = 8;

// Transform slots: world, view, projection, then the eight texture matrices.
constexpr int worldSlot = 0;
constexpr int viewSlot = 1;
constexpr int projectionSlot = 2;
constexpr int textureSlot0 = 3;
constexpr int transformSlotCount = textureSlot0 + stageCount;

// The slot of a transform state, or -1 for one the device does not keep.
int transformSlot(D3DTRANSFORMSTATETYPE state);
D3DTRANSFORMSTATETYPE transformOfSlot(int slot);

struct LightSlot {
    D3DLIGHT9 light;
    bool isEnabled = false;
};

// Values only; bound objects are plain pointers here, their references are held by whoever
// owns the state (the device or a state block).
struct DeviceState {
    std::array<DWORD, D3DRS_STATE_COUNT> renderStates{};
    std::array<std::array<DWORD, D3DTSS_STATE_COUNT>, stageCount> stageStates{};
    std::array<std::array<DWORD, D3DSAMP_STATE_COUNT>, stageCount> samplerStates{};
    std::array<D3DMATRIX, transformSlotCount> transforms{};
    D3DMATERIAL9 material{};
    std::map<DWORD, LightSlot> lights;
    std::array<IDirect3DBaseTexture9*, stageCount> textures{};
    DWORD fvf = 0;
    IDirect3DVertexBuffer9* streamBuffer = nullptr;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IDirect3DIndexBuffer9* indices = nullptr;
};

// Which entries of a DeviceState a state block has recorded.
struct StateMask {
    std::bitset<D3DRS_STATE_COUNT> renderStates;
    std::array<std::bitset<D3DTSS_STATE_COUNT>, stageCount> stageStates;
    std::array<std::bitset<D3DSAMP_STATE_COUNT>, stageCount> samplerStates;
    std::bitset<transformSlotCount> transforms;
    bool material = false;
    std::map<DWORD, bool> lights;       // index → light recorded
    std::map<DWORD, bool> lightEnables; // index → enable recorded
    std::bitset<stageCount> textures;
    bool fvf = false;
    bool stream = false;
    bool indices = false;
};

// Direct3D 9's initial states; depth testing is on when the device has a depth buffer.
DeviceState defaultDeviceState(bool hasDepthBuffer);

// The light a LightEnable gives an index that SetLight never filled: white, directional,
// shining along +z.
D3DLIGHT9 defaultLight();

D3DMATRIX identityMatrix();

} // namespace tincrates::gl

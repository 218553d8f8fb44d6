#include "platform/gpu/linear_filtering.h"

namespace tincrates {

void useLinearFiltering(IDirect3DDevice9& device)
{
    // Per sampler in the order magnification, minification, mip levels.
    for (DWORD stage = 0; stage < 8; ++stage) {
        device.SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device.SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device.SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
}

} // namespace tincrates

// The texels of a text line's texture, read back for the text line tests.
#pragma once

#include "post/text_line.h"

#include <cstring>
#include <vector>

namespace tincrates::testing {

// Top row first, 0xAARRGGBB.
inline std::vector<uint32_t> texelsOf(TextLine& line)
{
    D3DLOCKED_RECT locked{};
    if (line.image.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return {};
    std::vector<uint32_t> texels(size_t(line.textureWidth) * line.textureHeight);
    for (int y = 0; y < line.textureHeight; ++y)
        std::memcpy(texels.data() + size_t(y) * line.textureWidth,
            static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
            size_t(line.textureWidth) * 4);
    line.image.texture->UnlockRect(0);
    return texels;
}

} // namespace tincrates::testing

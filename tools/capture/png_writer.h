// Writes captured frames as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates {

// Writes `pixels` (width × height, top row first, 0xXXRRGGBB; the top byte is not written) as
// an 8-bit RGB PNG. Throws "cannot write " + path + ": " + libpng's reason.
void writePngFile(const std::string& path, uint32_t width, uint32_t height,
    const std::vector<uint32_t>& pixels);

} // namespace tincrates

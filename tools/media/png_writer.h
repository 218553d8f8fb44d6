// Writes images as PNG files through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates {

// Writes `pixels` (width × height, top row first, 0xAARRGGBB) as an 8-bit PNG: RGB when
// `keepAlpha` is false (the top byte is dropped), RGBA when it is true. The same pixels always
// give the same bytes. The file is written beside `path` and takes its place only when whole,
// so a failed write leaves no broken file. Throws "cannot write " + path + ": " + the reason
// (or "cannot create " + path + ...: when no file can be made there).
void writePngFile(const std::string& path, uint32_t width, uint32_t height,
    const std::vector<uint32_t>& pixels, bool keepAlpha = false);

} // namespace tincrates

// The reflected CRC-32 (polynomial 0xEDB88320) that archives use for members and headers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tincrates {

// The 256-entry lookup table; the cipher also uses its entries as key material.
const std::array<uint32_t, 256>& crc32Table();

// Continues a CRC-32 over `size` bytes. Start with crc = 0 for a fresh checksum: the
// register's 0xFFFFFFFF start and the final complement are applied inside.
uint32_t crc32(uint32_t crc, const void* data, size_t size);

} // namespace tincrates

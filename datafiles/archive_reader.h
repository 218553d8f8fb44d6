// Extraction of one member from a RAR 2.x archive file.
#pragma once

#include <cstdint>

namespace tincrates {

// Finds the first member whose name matches `memberName` in the archive file
// `archiveFileName`, extracts it with `password` (null or empty for none) and checks its
// CRC-32. Returns nonzero on success: *data then receives a malloc'd block the caller frees
// and *size its length. On failure returns 0 with *data null and *size 0.
int getArchiveMember(uint8_t** data, uint32_t* size, const char* memberName,
                     const char* archiveFileName, const char* password);

} // namespace tincrates

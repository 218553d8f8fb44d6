// Reads what capture shows back from the device, frame after frame.
#pragma once

#include "platform/gpu/d3d9.h"
#include "production/picture_size.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tincrates {

// Reads frames back into one system-memory surface and one pixel buffer that every frame
// reuses: a fresh 1.2 MB of each per frame cost the main thread page faults and zeroing that
// held the renderer up. (The device outlives a surface released after the run.) A frame
// larger than the picture gets the picture in its middle and black around it.
class FrameReader {
public:
    // Frames of the back buffer's own size.
    FrameReader() = default;
    // Frames of `frameSize` when given.
    explicit FrameReader(std::optional<PictureSize> frameSize)
        : frameSize(frameSize)
    {
    }
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    ~FrameReader();

    // The back buffer's pixels, 0xXXRRGGBB, top row first; its size in `width` and `height`.
    // The buffer is the reader's, refilled by the next read; a caller may move it away.
    // Throws the reason as text when the frame cannot be read back.
    std::vector<uint32_t>& read(IDirect3DDevice9& device, UINT& width, UINT& height);

private:
    std::optional<PictureSize> frameSize;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC copyDesc{};
    std::vector<uint32_t> pixels;
};

} // namespace tincrates

// Module-internal to the GL back-end: IDirect3DTexture9 over a GL texture holding the whole
// chain. Managed textures hold a system copy of a level while it is locked; GL's is the only
// one after that, until the level is locked again, which reads it back and keeps the copy.
// Large managed textures whose texels pack well (overlay images) are paged as Direct3D's
// runtime pages its managed pool: their system copy is kept packed in runs, and GL holds
// their texels only from the first draw that samples them until they go unsampled for a while.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_resource.h"

#include <GLES3/gl3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tincrates::gl {

class GlDevice;
class GlSurface;

class GlTexture final : public GlResource<GlTexture, IDirect3DTexture9> {
public:
    // Throws a text when GL cannot make the texture. levels 0 is the whole chain.
    GlTexture(GlDevice& device, UINT width, UINT height, UINT levels, DWORD usage,
        D3DFORMAT format, D3DPOOL pool);
    GlTexture(const GlTexture&) = delete;
    GlTexture& operator=(const GlTexture&) = delete;

    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
        DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint name() const { return texture; }
    D3DFORMAT format() const { return textureFormat; }
    DWORD usage() const { return textureUsage; }
    UINT levelWidth(UINT level) const;
    UINT levelHeight(UINT level) const;
    // Called after drawing into level 0; the chain is rebuilt before the texture is next
    // sampled when the texture was made with D3DUSAGE_AUTOGENMIPMAP.
    void markDrawnInto();
    void refreshMipChain();
    // The one colour (0xAARRGGBB) of every texel of every level, where the texture's levels
    // were all written through LockRect with a single colour each and the same one; sampling
    // such a texture with any filter gives that colour.
    std::optional<D3DCOLOR> singleColour() const;
    // Called before a draw samples the texture, with the device's count of presented frames;
    // a paged texture that is not in GL is uploaded from its packed copy.
    void prepareForSampling(uint64_t presentCount);
    // Gives GL's texels of a paged texture back when it has not been sampled since the
    // present count `oldestKept`; true when it did.
    bool pageOutIfSampledBefore(uint64_t oldestKept);

private:
    friend class GlResource<GlTexture, IDirect3DTexture9>;
    ~GlTexture();
    void makeStorage(); // a GL texture of the whole chain, texels undefined
    void uploadPackedLevels();
    void stopPaging(); // GL holds the texels from now on, as for any other texture

    UINT width, height;
    UINT storageLevels;
    DWORD textureUsage;
    D3DFORMAT textureFormat;
    D3DPOOL pool;
    GLuint texture = 0;
    std::vector<std::unique_ptr<GlSurface>> surfaces;
    std::vector<std::vector<uint32_t>> levelCopies; // managed pool, while locked or kept
    std::vector<bool> isLevelLocked;
    std::vector<bool> isLevelWritten; // unlocked at least once: GL holds its texels
    std::vector<bool> isCopyKept;     // locked again after a write: the copy stays
    // Per stored level: its single colour, when the last write gave it one.
    std::vector<std::optional<D3DCOLOR>> levelColours;
    bool isChainStale = false;
    bool isPaged = false;    // the system copy is packed, and GL holds it only while in use
    bool isInGl = false;     // GL's texture exists (always, unless paged)
    std::vector<std::vector<uint32_t>> packedLevels; // while paged: GL's bytes, in runs
    uint64_t lastSampled = 0; // present count of the last draw that sampled it
};

} // namespace tincrates::gl

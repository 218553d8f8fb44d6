// Textures: immutable GL storage for the whole chain, system copies for the managed pool while
// a level is locked (and after, for a level written more than once).
#include "platform/gpu/gl_texture.h"

#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_surface.h"

#include <algorithm>
#include <string>

namespace tincrates::gl {

namespace {

UINT fullChainLength(UINT width, UINT height)
{
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

} // namespace

GlTexture::GlTexture(GlDevice& device, UINT width, UINT height, UINT levels, DWORD usage,
    D3DFORMAT format, D3DPOOL pool)
    : GlResource(device)
    , width(width)
    , height(height)
    , storageLevels(levels == 0 || (usage & D3DUSAGE_AUTOGENMIPMAP)
              ? fullChainLength(width, height)
              : std::min(levels, fullChainLength(width, height)))
    , textureUsage(usage)
    , textureFormat(format)
    , pool(pool)
{
    glGenTextures(1, &texture);
    device.stateCache().bindTexture(0, texture);
    // Level by level rather than glTexStorage2D, which OpenGL 3.3 lacks. The level range
    // makes the texture complete for every filter; set first, it also lets Mesa allocate the
    // chain once, where it would otherwise keep level 0 apart from the chain it guesses.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(storageLevels - 1));
    // Luminance and alpha takes half the memory of four channels: red holds the luminance,
    // green the alpha, and the swizzle makes sampling give (L, L, L, A) as Direct3D does.
    bool isLuminanceAlpha = format == D3DFMT_A8L8;
    if (isLuminanceAlpha) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_RED);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, GL_RED);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_GREEN);
    }
    for (UINT level = 0; level < storageLevels; ++level)
        glTexImage2D(GL_TEXTURE_2D, GLint(level), isLuminanceAlpha ? GL_RG8 : GL_RGBA8,
            GLsizei(levelWidth(level)), GLsizei(levelHeight(level)), 0,
            isLuminanceAlpha ? GL_RG : GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (glGetError() != GL_NO_ERROR) {
        device.stateCache().forgetTexture(texture);
        glDeleteTextures(1, &texture);
        throw std::string("cannot create a texture");
    }
    UINT visibleLevels = GetLevelCount();
    for (UINT level = 0; level < visibleLevels; ++level)
        surfaces.push_back(std::make_unique<GlSurface>(device, *this, level));
    levelCopies.resize(visibleLevels);
    isLevelLocked.assign(visibleLevels, false);
    isLevelWritten.assign(visibleLevels, false);
    isCopyKept.assign(visibleLevels, false);
    levelColours.resize(storageLevels);
    device.resourceCreated();
}

GlTexture::~GlTexture()
{
    device.useContext();
    surfaces.clear();
    device.stateCache().forgetTexture(texture);
    glDeleteTextures(1, &texture);
}

DWORD GlTexture::GetLevelCount()
{
    return (textureUsage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : storageLevels;
}

UINT GlTexture::levelWidth(UINT level) const { return std::max(1u, width >> level); }

UINT GlTexture::levelHeight(UINT level) const { return std::max(1u, height >> level); }

UINT GlTexture::bytesPerTexel() const { return textureFormat == D3DFMT_A8L8 ? 2 : 4; }

HRESULT GlTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= surfaces.size() || !desc)
        return D3DERR_INVALIDCALL;
    return surfaces[level]->GetDesc(desc);
}

HRESULT GlTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (level >= surfaces.size() || !surface)
        return D3DERR_INVALIDCALL;
    AddRef();
    *surface = surfaces[level].get();
    return D3D_OK;
}

HRESULT GlTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD)
{
    if (pool != D3DPOOL_MANAGED || level >= surfaces.size() || !lockedRect
        || isLevelLocked[level])
        return D3DERR_INVALIDCALL;
    UINT w = levelWidth(level);
    UINT h = levelHeight(level);
    size_t offset = 0; // bytes
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(w) || rect->bottom > LONG(h)
            || rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        offset = (size_t(rect->top) * w + rect->left) * bytesPerTexel();
    }
    std::vector<uint32_t>& copy = levelCopies[level];
    if (copy.empty()) {
        size_t texels = size_t(w) * h;
        copy.assign((texels * bytesPerTexel() + 3) / 4, 0);
        if (isLevelWritten[level]) {
            // A level written again: what GL holds comes back, and from now on the copy
            // stays, so that a texture rewritten every frame is not read back every frame.
            device.useContext();
            std::vector<uint32_t> read;
            bool isPacked = bytesPerTexel() != 4;
            if (isPacked)
                read.resize(texels);
            if (!device.readPixels(*surfaces[level], isPacked ? read.data() : copy.data())) {
                std::vector<uint32_t>().swap(copy); // frees the block
                return D3DERR_INVALIDCALL;
            }
            if (isPacked) {
                auto* words = reinterpret_cast<uint16_t*>(copy.data());
                for (size_t i = 0; i < texels; ++i)
                    words[i] = uint16_t(((read[i] >> 16) & 0xFF00u) | (read[i] & 0xFFu));
            }
            isCopyKept[level] = true;
        }
    }
    isLevelLocked[level] = true;
    lockedRect->Pitch = INT(w * bytesPerTexel());
    lockedRect->pBits = reinterpret_cast<uint8_t*>(copy.data()) + offset;
    return D3D_OK;
}

HRESULT GlTexture::UnlockRect(UINT level)
{
    if (level >= surfaces.size() || !isLevelLocked[level])
        return D3DERR_INVALIDCALL;
    isLevelLocked[level] = false;
    device.useContext();
    UINT w = levelWidth(level);
    UINT h = levelHeight(level);
    std::vector<uint32_t>& copy = levelCopies[level];
    std::vector<uint32_t> kept;
    const void* texels = copy.data();
    levelColours[level].reset();
    if (textureFormat == D3DFMT_A8L8) {
        // Direct3D's words 0xAALL lie in memory as L, A: GL's R, G as they are.
        const auto* words = reinterpret_cast<const uint16_t*>(copy.data());
        size_t count = size_t(w) * h;
        bool isSingleColour = count > 0;
        for (size_t i = 1; i < count && isSingleColour; ++i)
            isSingleColour = words[i] == words[0];
        if (isSingleColour)
            levelColours[level] = D3DCOLOR(words[0] >> 8) << 24 | (words[0] & 0xFFu) * 0x010101u;
    } else {
        // GL ES takes bytes R, G, B, A; Direct3D's words 0xAARRGGBB lie in memory as B, G, R,
        // A. A copy that is not kept is converted in place and dropped once GL has the texels:
        // the driver's copy is the only one then, as a managed texture's level is rarely
        // written twice.
        std::vector<uint32_t>& converted = isCopyKept[level] ? kept : copy;
        if (isCopyKept[level])
            kept.resize(copy.size());
        bool isOpaque = textureFormat == D3DFMT_X8R8G8B8;
        uint32_t opaque = isOpaque ? 0xFF000000u : 0;
        const uint32_t first = copy.empty() ? 0 : copy[0] | opaque;
        bool isSingleColour = true;
        for (size_t i = 0; i < copy.size(); ++i) {
            uint32_t p = copy[i] | opaque;
            isSingleColour = isSingleColour && p == first;
            converted[i] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        }
        if (isSingleColour && !copy.empty())
            levelColours[level] = first;
        texels = converted.data();
    }
    if (level == 0)
        isChainStale = true; // a generated chain follows level 0
    device.stateCache().bindTexture(0, texture);
    // Rows of two-byte texels are tightly packed, so an odd width leaves them unaligned.
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, textureFormat == D3DFMT_A8L8 ? 2 : 4));
    GL_CHECK(glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h,
        textureFormat == D3DFMT_A8L8 ? GL_RG : GL_RGBA, GL_UNSIGNED_BYTE, texels));
    isLevelWritten[level] = true;
    if (!isCopyKept[level])
        std::vector<uint32_t>().swap(copy); // frees the block
    return D3D_OK;
}

void GlTexture::markDrawnInto()
{
    isChainStale = true;
    std::fill(levelColours.begin(), levelColours.end(), std::nullopt);
}

void GlTexture::refreshMipChain()
{
    if (!isChainStale)
        return;
    isChainStale = false;
    if (!(textureUsage & D3DUSAGE_AUTOGENMIPMAP) || storageLevels < 2)
        return;
    device.stateCache().bindTexture(0, texture);
    GL_CHECK(glGenerateMipmap(GL_TEXTURE_2D));
}

std::optional<D3DCOLOR> GlTexture::singleColour() const
{
    // A generated chain averages level 0, so a single colour there holds for every level.
    size_t written = (textureUsage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : levelColours.size();
    for (size_t level = 1; level < written; ++level)
        if (levelColours[level] != levelColours[0])
            return std::nullopt;
    return levelColours[0];
}

} // namespace tincrates::gl

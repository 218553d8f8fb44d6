// Textures: immutable GL storage for the whole chain, system copies for the managed pool while
// a level is locked (and after, for a level written more than once).
#include "platform/gpu/gl_texture.h"

#include "platform/gpu/gl_check.h"
#include "platform/gpu/gl_device.h"
#include "platform/gpu/gl_surface.h"
#include "platform/gpu/texel_runs.h"

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

// Managed textures from this size on are paged when they pack to at most half their size:
// below it the packing would not pay for itself.
constexpr size_t smallestPagedBytes = size_t(1) << 20;

void convertToGlOrder(const uint32_t* from, uint32_t* to, size_t count, uint32_t opaque)
{
    // GL ES takes bytes R, G, B, A; Direct3D's words 0xAARRGGBB lie in memory as B, G, R, A.
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = from[i] | opaque;
        to[i] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
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
    isPaged = pool == D3DPOOL_MANAGED && !(usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP))
        && size_t(width) * height * 4 >= smallestPagedBytes;
    if (isPaged) {
        packedLevels.resize(storageLevels);
        device.pagedTextureCreated(this);
    } else {
        makeStorage();
        if (glGetError() != GL_NO_ERROR) {
            device.stateCache().forgetTexture(texture);
            glDeleteTextures(1, &texture);
            throw std::string("cannot create a texture");
        }
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
    if (isPaged)
        device.pagedTextureDestroyed(this);
    if (isInGl) {
        device.stateCache().forgetTexture(texture);
        glDeleteTextures(1, &texture);
        if (size_t(width) * height * 4 >= smallestPagedBytes)
            device.largeTextureStorageFreed();
    }
}

void GlTexture::makeStorage()
{
    glGenTextures(1, &texture);
    isInGl = true;
    device.stateCache().bindTexture(0, texture);
    // Level by level rather than glTexStorage2D, which OpenGL 3.3 lacks. The level range
    // makes the texture complete for every filter; set first, it also lets Mesa allocate the
    // chain once, where it would otherwise keep level 0 apart from the chain it guesses.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(storageLevels - 1));
    for (UINT level = 0; level < storageLevels; ++level)
        glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGBA8, GLsizei(levelWidth(level)),
            GLsizei(levelHeight(level)), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

void GlTexture::uploadPackedLevels()
{
    device.stateCache().bindTexture(0, texture);
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 4));
    std::vector<uint32_t> texels;
    for (UINT level = 0; level < storageLevels; ++level) {
        if (packedLevels[level].empty())
            continue; // never written: undefined, as in any new texture
        UINT w = levelWidth(level);
        UINT h = levelHeight(level);
        texels.resize(size_t(w) * h);
        unpackTexelRuns(packedLevels[level], texels.data());
        GL_CHECK(glTexSubImage2D(GL_TEXTURE_2D, GLint(level), 0, 0, GLsizei(w), GLsizei(h),
            GL_RGBA, GL_UNSIGNED_BYTE, texels.data()));
    }
}

void GlTexture::stopPaging()
{
    if (!isPaged)
        return;
    device.useContext();
    if (!isInGl) {
        makeStorage();
        uploadPackedLevels();
    }
    isPaged = false;
    std::vector<std::vector<uint32_t>>().swap(packedLevels);
    device.pagedTextureDestroyed(this);
}

void GlTexture::prepareForSampling(uint64_t presentCount)
{
    lastSampled = presentCount;
    if (isInGl)
        return;
    makeStorage();
    uploadPackedLevels();
}

bool GlTexture::pageOutIfSampledBefore(uint64_t oldestKept)
{
    if (!isPaged || !isInGl || lastSampled >= oldestKept
        || std::find(isLevelLocked.begin(), isLevelLocked.end(), true) != isLevelLocked.end())
        return false;
    device.useContext();
    device.stateCache().forgetTexture(texture);
    glDeleteTextures(1, &texture);
    texture = 0;
    isInGl = false;
    device.largeTextureStorageFreed();
    return true;
}

DWORD GlTexture::GetLevelCount()
{
    return (textureUsage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : storageLevels;
}

UINT GlTexture::levelWidth(UINT level) const { return std::max(1u, width >> level); }

UINT GlTexture::levelHeight(UINT level) const { return std::max(1u, height >> level); }

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
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(w) || rect->bottom > LONG(h)
            || rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        offset = size_t(rect->top) * w + rect->left;
    }
    std::vector<uint32_t>& copy = levelCopies[level];
    if (copy.empty()) {
        copy.assign(size_t(w) * h, 0);
        if (isLevelWritten[level]) {
            stopPaging(); // rewritten textures stay in GL, with a copy kept
            // A level written again: what GL holds comes back, and from now on the copy
            // stays, so that a texture rewritten every frame is not read back every frame.
            device.useContext();
            if (!device.readPixels(*surfaces[level], copy.data())) {
                std::vector<uint32_t>().swap(copy); // frees the block
                return D3DERR_INVALIDCALL;
            }
            isCopyKept[level] = true;
        }
    }
    isLevelLocked[level] = true;
    lockedRect->Pitch = INT(w * 4);
    lockedRect->pBits = copy.data() + offset;
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
    // A copy that is not kept is converted in place and dropped once GL, or its packed copy,
    // has the texels: the driver's copy is the only one then, as a managed texture's level is
    // rarely written twice.
    std::vector<uint32_t>& copy = levelCopies[level];
    std::vector<uint32_t> kept;
    std::vector<uint32_t>& converted = isCopyKept[level] ? kept : copy;
    if (isCopyKept[level])
        kept.resize(copy.size());
    bool isOpaque = textureFormat == D3DFMT_X8R8G8B8;
    uint32_t opaque = isOpaque ? 0xFF000000u : 0;
    const uint32_t first = copy.empty() ? 0 : copy[0] | opaque;
    bool isSingleColour = std::all_of(
        copy.begin(), copy.end(), [&](uint32_t p) { return (p | opaque) == first; });
    convertToGlOrder(copy.data(), converted.data(), copy.size(), opaque);
    levelColours[level].reset();
    if (isSingleColour && !copy.empty())
        levelColours[level] = first;
    if (level == 0)
        isChainStale = true; // a generated chain follows level 0
    if (isPaged) {
        packedLevels[level] = packTexelRuns(converted.data(), converted.size());
        // Level 0 decides, the smallest levels always packing badly: when it packs badly,
        // GL's copy alone costs less.
        if (level == 0 && packedLevels[level].size() > converted.size() / 2)
            stopPaging();
        else if (!isInGl) {
            isLevelWritten[level] = true;
            std::vector<uint32_t>().swap(copy); // frees the block
            return D3D_OK;
        }
    }
    device.stateCache().bindTexture(0, texture);
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 4));
    GL_CHECK(glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE,
        converted.data()));
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

// The OpenGL back-end of IDirect3DDevice9: Direct3D 9's fixed-function pipeline emulated with
// generated shaders over the common subset of OpenGL ES 3.0 and OpenGL 3.3.
//
// Conventions kept: row-vector matrices, depth 0..1, pixel centres on whole coordinates,
// texture and target row 0 at the top, clockwise front faces. Every target, the back buffer
// included, is a GL framebuffer object stored top row first; on-screen, Present copies the
// back buffer to the window upside down.
//
// A device and everything made from it are used from the thread that made its window.
#pragma once

#include "platform/gpu/d3d9.h"
#include "platform/gpu/gl_depth_stand_ins.h"
#include "platform/gpu/gl_device_state.h"
#include "platform/gpu/gl_program_cache.h"
#include "platform/gpu/gl_state_cache.h"
#include "platform/window/window.h"

#include <GLES3/gl3.h>

#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tincrates {

namespace gl {

class GlSurface;
class GlTexture;
class GlStateBlock;

class GlDevice final : public IDirect3DDevice9 {
public:
    // Makes the window's context current and builds the back buffer and depth buffer.
    // Throws a text when GL cannot make them.
    GlDevice(std::shared_ptr<Window> window, const D3DPRESENT_PARAMETERS& params);
    GlDevice(const GlDevice&) = delete;
    GlDevice& operator=(const GlDevice&) = delete;

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
        DWORD stencil) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
        const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type,
        IDirect3DSurface9** surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
        IDirect3DSurface9* destSurface) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
        IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
        IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
        DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** stateBlock) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
        UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
        UINT minVertexIndex, UINT numVertices, UINT startIndex, UINT count) override;
    HRESULT EvictManagedResources() override;
    // The depth buffer grows with the back buffer but never shrinks, so that every render
    // target that was drawing with it keeps doing so; a smaller back buffer draws into its
    // top-left corner, as Direct3D 9 allows.
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;

    // For the back-end's own objects. Resources and state blocks count themselves here so the
    // device, and with it the GL context, outlives the last of them.
    void resourceCreated() { ++resourceCount; }
    // Makes the device's context current; called before any GL work, so that several devices
    // (each with its own window) can live on one thread.
    void useContext() { window->makeCurrent(); }
    void resourceDestroyed();
    GlStateCache& stateCache() { return cache; }
    // Paged textures (see gl_texture.h) are given back to their packed copies at Present when
    // they have not been sampled during the last presents this many.
    static constexpr uint64_t pagedTextureKeepPresents = 30;
    void pagedTextureCreated(GlTexture* texture) { pagedTextures.push_back(texture); }
    void pagedTextureDestroyed(GlTexture* texture);
    // Called when GL's storage of a large texture went: the next Present gives the freed
    // memory back to the system (see Present).
    void largeTextureStorageFreed() { isTrimWanted = true; }
    // The framebuffer object that draws into the surface, made on first use; 0 when GL
    // cannot make one.
    GLuint framebufferFor(GlSurface& surface);
    // Reads the pixels of `surface` (a target or a level of a texture) as 0xAARRGGBB, top row
    // first, into width × height words. False when GL cannot read it.
    bool readPixels(GlSurface& surface, uint32_t* pixels);
    // How many distinct fixed-function programs have been built (for tests and benchmarks).
    size_t programCount() const { return programs.programCount(); }
    // Whether texels that a draw filters linearly without mip levels, and a source blend
    // factor added to the target, are rounded to whole 8-bit levels in the shaders, as
    // fixed-function hardware rounds them, instead of left to GL. On in the browser, whose
    // WebGL renderers keep both at floating-point precision; off elsewhere, where Mesa's
    // llvmpipe gives those bytes itself, at less cost. For tests, which compare the two.
    void setFixedPointInShaders(bool isOn) { isFixedPointInShaders = isOn; }
    // Whether a render target smaller than the automatic depth buffer draws with a depth
    // buffer of its own size, kept in step with the corner it covers, instead of with the
    // larger one. WebGL 2 requires it; elsewhere GL takes the larger buffer as Direct3D does,
    // and the copies would cost the CPU renderer a sixth of the production's frame. For tests.
    void setDepthSizedToTargets(bool isOn) { isDepthSizedToTargets = isOn; }

private:
    ~GlDevice();

    struct FvfLayout {
        bool isValid = false;
        GLsizei stride = 0;
        int normalOffset = -1, diffuseOffset = -1, specularOffset = -1;
        int coordinateSetCount = 0;
        int coordinateSizes[8] = {};
        int coordinateOffsets[8] = {};
    };

    static FvfLayout layoutOf(DWORD fvf);
    DWORD sourceFactorInShader() const;
    DWORD fixedPointSourceFactor() const;
    // How a draw's stages may sample more cheaply than their filters say, with the same result.
    struct StageSampling {
        std::bitset<stageCount> withoutMips;  // never minified: level 0 alone
        std::bitset<stageCount> texelCentred; // one texel per pixel, at texel centres
    };
    StageSampling cheaperSampling(const FvfLayout& layout, const ShaderKey& key,
        D3DPRIMITIVETYPE type, UINT first, UINT vertexCount, int64_t base, GLsizei stride) const;
    void releaseBindings();
    void applyViewport();
    ShaderKey shaderKeyFor(const FvfLayout& layout) const;
    void uploadUniforms(const GlProgram& program, const ShaderKey& key);
    void applyRasterStates();
    bool bindTextures(const ShaderKey& key, const StageSampling& sampling);
    GLuint samplerFor(int stage, bool isWithoutMips, bool isTexelCentred);
    // The colour that sampling the stage's texture gives everywhere, if it has only one.
    std::optional<D3DCOLOR> singleColourOf(int stage) const;
    HRESULT draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool isIndexed, INT baseVertex,
        UINT first);

    ULONG refCount = 1;
    ULONG resourceCount = 0;
    // Declared first so it is destroyed last: every GL object needs the context.
    std::shared_ptr<Window> window;
    D3DPRESENT_PARAMETERS presentParameters;
    GlStateCache cache;
    GlProgramCache programs{cache};
    GLuint vertexArray = 0;
    GLuint depthStencil = 0; // renderbuffer; 0 without an automatic depth buffer
    UINT depthWidth = 0, depthHeight = 0;
    GlDepthStandIns depthStandIns{*window, cache}; // for targets smaller than depthStencil
    std::unordered_map<uint32_t, GLuint> samplers;
    GlSurface* backBuffer = nullptr;    // one reference held
    GlSurface* renderTarget = nullptr;  // one reference held
    D3DVIEWPORT9 viewport{};
    DeviceState state;
    GlStateBlock* recording = nullptr;  // the block being recorded, owned until EndStateBlock
    bool isInScene = false;
    std::vector<GlTexture*> pagedTextures;
    uint64_t presentCount = 0;
    bool isTrimWanted = false;
    bool isDesktopGl = false;
#ifdef __EMSCRIPTEN__
    bool isFixedPointInShaders = true;
    bool isDepthSizedToTargets = true;
#else
    bool isFixedPointInShaders = false;
    bool isDepthSizedToTargets = false;
#endif
    bool isReleased = false;
};

} // namespace gl
} // namespace tincrates

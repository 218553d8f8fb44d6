// The glow's hot path, headless: the six blur passes at 256 × 256 from a 256 × 128 scene
// texture, and one full-screen blended quad at 640 × 480. Each iteration ends by copying
// the result to system memory, which waits for the drawing; the copy alone is timed too, so
// it can be taken off.
#include "platform/gpu/d3d9.h"
#include "platform/gpu/shared_device.h"
#include "post/blur_pass.h"
#include "post/render_texture.h"
#include "post/screen_quad.h"
#include "testbed/headless_device.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace tincrates {
namespace {

constexpr DWORD renderTargetUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP;

// A headless 640 × 480 device published as the shared device, with the linear filtering
// the production sets at start-up.
class BenchDevice {
public:
    BenchDevice()
    {
        publishSharedDevice(device);
        for (DWORD s = 0; s < 8; ++s)
            for (auto filter : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
                device->SetSamplerState(s, filter, D3DTEXF_LINEAR);
    }
    BenchDevice(const BenchDevice&) = delete;
    BenchDevice& operator=(const BenchDevice&) = delete;
    ~BenchDevice() { publishSharedDevice(nullptr); }

    // A system-memory copy target the size of `target`; owned by the caller.
    IDirect3DSurface9* copyTargetFor(IDirect3DSurface9* target)
    {
        D3DSURFACE_DESC desc{};
        target->GetDesc(&desc);
        IDirect3DSurface9* copy = nullptr;
        device->CreateOffscreenPlainSurface(
            desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        return copy;
    }

    testing::HeadlessDevice headless{640, 480, D3DFMT_X8R8G8B8};
    IDirect3DDevice9* device = headless.get();
};

// The scene texture with something to blur, and the production's chain of six passes.
struct GlowChain {
    explicit GlowChain(BenchDevice& bench)
        : scene(*bench.device, 256, 128, renderTargetUsage, D3DPOOL_DEFAULT)
    {
        scene.bind(0);
        bench.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1, 0);
        D3DRECT spots[] = {{40, 20, 60, 40}, {128, 64, 140, 100}, {200, 10, 230, 30}};
        bench.device->Clear(3, spots, D3DCLEAR_TARGET, 0xFFFFE0C0, 1, 0);
        scene.unbind();
        const RenderTexture* source = &scene;
        for (int k = 0; k < 6; ++k) {
            passes.push_back(std::make_unique<BlurPass>(source, 256, 256));
            source = &passes.back()->output;
        }
    }

    void render()
    {
        passes[0]->render(true, 1.0f, 1.5f);
        passes[1]->render(false, 1.0f, 1.0f);
        passes[2]->render(true, 1.5f, 1.0f);
        passes[3]->render(false, 1.5f, 1.0f);
        passes[4]->render(true, 2.0f, 1.25f);
        passes[5]->render(false, 2.0f, 1.4f);
    }

    RenderTexture scene;
    std::vector<std::unique_ptr<BlurPass>> passes;
};

void BM_SixBlurPasses(benchmark::State& state)
{
    BenchDevice bench;
    GlowChain chain(bench);
    IDirect3DSurface9* last = chain.passes.back()->output.surface;
    IDirect3DSurface9* copy = bench.copyTargetFor(last);
    for (auto _ : state) {
        bench.device->BeginScene();
        chain.render();
        bench.device->EndScene();
        bench.device->GetRenderTargetData(last, copy);
    }
    copy->Release();
    state.counters["passes/s"] = benchmark::Counter(
        double(state.iterations()) * 6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SixBlurPasses)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyOfOneBlurOutput(benchmark::State& state)
{
    BenchDevice bench;
    GlowChain chain(bench);
    IDirect3DSurface9* last = chain.passes.back()->output.surface;
    IDirect3DSurface9* copy = bench.copyTargetFor(last);
    for (auto _ : state)
        bench.device->GetRenderTargetData(last, copy);
    copy->Release();
}
BENCHMARK(BM_CopyOfOneBlurOutput)->Unit(benchmark::kMillisecond)->UseRealTime();

// The glow laid over the 640 × 480 back buffer, added.
void BM_FullScreenQuad(benchmark::State& state)
{
    BenchDevice bench;
    GlowChain chain(bench);
    bench.device->BeginScene();
    chain.render();
    bench.device->EndScene();
    ScreenQuad glow(*chain.passes.back(), 1.0f);
    IDirect3DSurface9* backBuffer = nullptr;
    bench.device->GetRenderTarget(0, &backBuffer);
    IDirect3DSurface9* copy = bench.copyTargetFor(backBuffer);
    for (auto _ : state) {
        bench.device->BeginScene();
        glow.draw(D3DBLEND_ONE, D3DBLEND_ONE, 1.0f, 0);
        bench.device->EndScene();
        bench.device->GetRenderTargetData(backBuffer, copy);
    }
    copy->Release();
    backBuffer->Release();
}
BENCHMARK(BM_FullScreenQuad)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyOfTheBackBuffer(benchmark::State& state)
{
    BenchDevice bench;
    IDirect3DSurface9* backBuffer = nullptr;
    bench.device->GetRenderTarget(0, &backBuffer);
    IDirect3DSurface9* copy = bench.copyTargetFor(backBuffer);
    for (auto _ : state)
        bench.device->GetRenderTargetData(backBuffer, copy);
    copy->Release();
    backBuffer->Release();
}
BENCHMARK(BM_CopyOfTheBackBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tincrates

// The production itself: everything it loads and makes, built once, and each frame of it
// drawn from the demo time.
#pragma once

#include "platform/gpu/d3d9.h"
#include "production/frame_tracks.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tincrates {

class BlurPass;
class Camera;
class Light;
struct Material;
class MusicStream;
class RenderTexture;
class Scene;
class SceneManager;
class SceneNode;
class ScreenQuad;
class TextureManager;

// The entry calls build() once before the music plays, renderFrame(t) once per frame between
// BeginScene and EndScene, and destroy() once at the end. All on the main thread. The three
// are virtual so that a host can be driven with a stand-in production.
class Timeline {
public:
    // `device` and `music` are not owned and must outlive the timeline.
    Timeline(IDirect3DDevice9& device, MusicStream& music);
    // Releases whatever build() made, as destroy() does.
    virtual ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Reads the tracks and starts decoding the overlay images on a second core, so that what
    // the run does before build() (decoding the soundtrack) overlaps with it. Optional: build()
    // does it when it has not been done. Throws nothing: build() reports what does not load.
    virtual void prepare();

    // Loads the overlay images, the scene "voltcrate.scene" with its meshes, materials and
    // textures, and makes the render texture, the six blur passes, the light and the camera.
    // Throws the loaders' "Failed to load " texts, the render texture's and blur passes'
    // errors, and "Failed to load voltcrate.scene\n" + the reason when the scene lacks the
    // five objects the production moves, or a material on the mesh of the second. What was
    // made before a failure stays until destroy().
    virtual void build();

    // Animates the scene to demo time `t` and the music's current spectrum, renders it into
    // the glow's texture and blurs that, renders it to the back buffer and lays the glow and
    // the overlays over it. Throws "RenderTarget already set" and the meshes' buffer errors.
    virtual void renderFrame(float t);

    // Releases everything build() made, the effects first and the managers (with the scene,
    // meshes, materials and textures) last. Safe to call more than once.
    virtual void destroy();

    // How many of the sync times the demo time has passed; only grows, unless
    // textFollowsTime.
    unsigned textIndex = 0;

    // For makers, whose time jumps back and forth: the text index is worked out from each
    // frame's time alone, in both directions.
    bool textFollowsTime = false;

    // The text image the last frame showed, if any.
    std::optional<unsigned> textShown;

    // The tracks that direct the frame: from the data file "sync.rocket" when build() finds
    // one, else none keyed.
    const FrameTracks& tracks() const { return frameTracks; }
    // Directs the frames from `tracks` from now on, first loading the text images they show
    // that are not loaded yet. Throws the image loader's "Failed to load " text, and then
    // keeps the tracks it had.
    void direct(FrameTracks tracks);
    // Counts the changes of tracks() (each build and each direct), for those who follow them.
    unsigned directions = 0;

private:
    IDirect3DDevice9& device; // not owned
    MusicStream& music;       // not owned

    // In the order build() makes them.
    std::unique_ptr<SceneManager> sceneManager;
    std::unique_ptr<TextureManager> textureManager;
    std::unique_ptr<ScreenQuad> whiteOverlay;
    std::unique_ptr<ScreenQuad> blackOverlay;
    std::unique_ptr<ScreenQuad> creditsOverlay;
    std::vector<std::unique_ptr<ScreenQuad>> textOverlays;
    std::unique_ptr<Light> light;
    std::unique_ptr<RenderTexture> sceneTexture;
    std::array<std::unique_ptr<BlurPass>, 6> blurPasses;
    std::unique_ptr<ScreenQuad> glowOverlay;
    std::unique_ptr<SceneNode> targetNode;
    std::unique_ptr<Camera> camera;
    Scene* scene = nullptr;              // held by the scene manager
    Material* revealMaterial = nullptr;  // held by the scene manager's material manager
    FrameTracks frameTracks;
    bool areTracksRead = false; // by prepare()

    // Loads text images up to, not including, number `count`.
    void loadTextImages(unsigned count);
};

} // namespace tincrates

// The production's build order, its frame and its tear-down.
#include "production/timeline.h"

#include "assets/material.h"
#include "assets/texture_manager.h"
#include "audio/music_stream.h"
#include "datafiles/data_file.h"
#include "post/blur_pass.h"
#include "post/render_texture.h"
#include "post/screen_quad.h"
#include "production/frame_animation.h"
#include "production/scene_objects.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "scene/scene_manager.h"
#include "sync/tracks_file.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tincrates {

namespace {

using sceneObjects::leadCrate;
using sceneObjects::movedCount;

// Texts and credits cover the centre 352 × 120 pixels of the 640 × 480 screen.
constexpr float captionScaleX = 0.55f;
constexpr float captionScaleY = 0.25f;

// The glow's texture: small, so the blur is cheap and its upscaling softens it further.
constexpr UINT sceneTextureWidth = 256;
constexpr UINT sceneTextureHeight = 128;
constexpr UINT blurTextureSize = 256;

struct BlurSettings {
    bool isHorizontal;
    float spread;
    float gain;
};
// Alternating axes, spreading further each time; the gains brighten the glow overall.
constexpr BlurSettings blurSettings[6] = {{true, 1.0f, 1.5f}, {false, 1.0f, 1.0f},
    {true, 1.5f, 1.0f}, {false, 1.5f, 1.0f}, {true, 2.0f, 1.25f}, {false, 2.0f, 1.4f}};

Texture& loadTexture(TextureManager& textures, const std::string& name)
{
    Texture* texture = textures.get(name);
    if (!texture)
        throw "Failed to load " + name;
    return *texture;
}

std::string textImageName(unsigned i)
{
    char name[24];
    std::snprintf(name, sizeof name, "text%02u.png", i);
    return name;
}

std::unique_ptr<ScreenQuad> makeCaption(Texture& texture)
{
    auto quad = std::make_unique<ScreenQuad>(texture, 1.0f);
    quad->scaleX = captionScaleX;
    quad->scaleY = captionScaleY;
    return quad;
}

// The tracks of the production's "sync.rocket", or none keyed when it has none. Names it
// does not know are told once, here, and left out.
FrameTracks loadTracks()
{
    const std::string failure = std::string("Failed to load ") + tracksFileName + "\n";
    std::string archiveProblem;
    DataFile* file = openDataFile(tracksFileName, &archiveProblem);
    if (!file) {
        if (!archiveProblem.empty())
            throw failure + archiveProblem;
        return {};
    }
    std::string text(reinterpret_cast<const char*>(file->data), file->size);
    closeDataFile(file);
    TracksDocument document;
    try {
        document = readTracksDocument(text);
    } catch (const std::exception& error) {
        throw failure + error.what();
    }
    std::vector<std::string> unknownNames;
    FrameTracks tracks = FrameTracks::fromDocument(document, unknownNames);
    for (const std::string& name : unknownNames)
        std::fprintf(stderr, "%s: the production has no track \"%s\"; its keys are left out\n",
            tracksFileName, name.c_str());
    return tracks;
}

void draw(ScreenQuad& quad, D3DBLEND sourceBlend, D3DBLEND destinationBlend,
    const OverlayDraw& overlay)
{
    if (overlay.isShown)
        quad.draw(sourceBlend, destinationBlend, overlay.opacity, 0.0f);
}

} // namespace

Timeline::Timeline(IDirect3DDevice9& device, MusicStream& music)
    : device(device)
    , music(music)
{
}

Timeline::~Timeline() { destroy(); }

void Timeline::prepare()
{
    textureManager = std::make_unique<TextureManager>();
    // The overlay images are most of the build's decoding: a second core decodes them while
    // this thread goes on (to the soundtrack, then to making textures of those done). The
    // tracks say how many texts there are; a file that does not load is reported by build(),
    // in its place among the files.
    try {
        frameTracks = loadTracks();
        areTracksRead = true;
    } catch (const std::string&) {
    }
    std::vector<std::string> names = {"white.png", "black.png", "credits.png"};
    for (unsigned i = 0; i < frameTracks.textImagesShown().value_or(textCount); ++i)
        names.push_back(textImageName(i));
    textureManager->decodeAhead(names);
}

void Timeline::build()
{
    if (!textureManager)
        prepare();
    sceneManager = std::make_unique<SceneManager>();

    whiteOverlay = std::make_unique<ScreenQuad>(loadTexture(*textureManager, "white.png"), 1.0f);
    blackOverlay = std::make_unique<ScreenQuad>(loadTexture(*textureManager, "black.png"), 1.0f);
    creditsOverlay = makeCaption(loadTexture(*textureManager, "credits.png"));
    if (!areTracksRead)
        frameTracks = loadTracks();
    ++directions;
    // Keyed, the text track sets how many text images there are; without it the production
    // shows its own schedule of texts.
    loadTextImages(frameTracks.textImagesShown().value_or(textCount));

    light = std::make_unique<Light>();

    sceneTexture = std::make_unique<RenderTexture>(device, sceneTextureWidth,
        sceneTextureHeight, D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP, D3DPOOL_DEFAULT);
    const RenderTexture* blurSource = sceneTexture.get();
    for (auto& pass : blurPasses) {
        pass = std::make_unique<BlurPass>(blurSource, blurTextureSize, blurTextureSize);
        blurSource = &pass->output;
    }
    glowOverlay = std::make_unique<ScreenQuad>(*blurPasses.back(), 1.0f);

    targetNode = std::make_unique<SceneNode>();
    camera = std::make_unique<Camera>();
    camera->fieldOfView = 60.0f;
    camera->aspect = 1.3333334f;
    camera->nearPlane = 1.0f;
    camera->farPlane = 2000.0f;
    camera->target = targetNode.get();
    camera->roll = 0.0f;

    Scene* loaded = sceneManager->get(sceneFileName);
    // Without these the frame would write through missing objects; say so while loading.
    std::string failure = std::string("Failed to load ") + sceneFileName + "\n";
    if (!loaded)
        throw failure + "No scene";
    if (loaded->objects.size() < movedCount)
        throw failure + "The production moves five objects; the scene has "
            + std::to_string(loaded->objects.size());
    Mesh* leadMesh = loaded->objects[leadCrate]->mesh;
    if (!leadMesh || leadMesh->groups.empty() || !leadMesh->groups.front().material)
        throw failure + "The second object needs a mesh whose first group has a material";
    scene = loaded;
    revealMaterial = leadMesh->groups.front().material;

    // A quarter turn about x, with the half angle as a float: (sin h, 0, 0, cos h).
    constexpr float halfAngle = 0.7853981852531433f;
    scene->objects[sceneObjects::scaffold]->transform.rotation
        = {float(std::sin(double(halfAngle))), 0.0f, 0.0f, float(std::cos(double(halfAngle)))};

    scene->cameras.push_back(camera.get());
    scene->lights.push_back(light.get());

    scene->fogEnabled = true;
}

void Timeline::loadTextImages(unsigned count)
{
    std::vector<std::string> names;
    for (unsigned i = unsigned(textOverlays.size()); i < count; ++i)
        names.push_back(textImageName(i));
    textureManager->decodeAhead(names);
    for (unsigned i = unsigned(textOverlays.size()); i < count; ++i)
        textOverlays.push_back(makeCaption(loadTexture(*textureManager, textImageName(i))));
}

void Timeline::direct(FrameTracks tracks)
{
    loadTextImages(tracks.textImagesShown().value_or(textCount));
    frameTracks = std::move(tracks);
    ++directions;
}

void Timeline::renderFrame(float t)
{
    // A viewer's time only runs forward; a maker's jumps back too, and then the text of
    // that moment shows again.
    textIndex = advanceTextIndex(textFollowsTime ? 0 : textIndex, t);
    music.fetchSpectrum();
    FrameAnimation frame = animateFrame(t, textIndex, music.spectrum);
    frameTracks.direct(frame, t);

    revealMaterial->diffuse.a = frame.revealAlpha;
    camera->fieldOfView = frame.fieldOfViewDegrees;
    camera->transform.position = frame.cameraPosition;
    targetNode->transform.position = frame.lookPoint;
    scene->objects[leadCrate]->transform.position = frame.lookPoint;
    for (size_t i = leadCrate; i < movedCount; ++i)
        scene->objects[i]->transform.rotation = frame.tumble;
    camera->roll = frame.cameraRoll;
    light->transform.position = frame.lightPosition;
    scene->fogColour = frame.fogColour;
    scene->fogStart = frame.fogStart;
    scene->fogEnd = frame.fogEnd;

    sceneTexture->bind(0);
    scene->render(0, true);
    sceneTexture->unbind();
    for (size_t i = 0; i < blurPasses.size(); ++i)
        blurPasses[i]->render(
            blurSettings[i].isHorizontal, blurSettings[i].spread, blurSettings[i].gain);

    scene->render(0, true);

    glowOverlay->draw(D3DBLEND_ONE, D3DBLEND_ONE, 1.0f, 0.0f);
    // A number beyond the images loaded shows none: an editor's key may name one ahead of
    // its image.
    textShown.reset();
    if (frame.text.isShown && frame.textNumber < textOverlays.size()) {
        draw(*textOverlays[frame.textNumber], D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
            frame.text);
        if (frame.text.opacity > 0)
            textShown = frame.textNumber;
    }
    draw(*creditsOverlay, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, frame.credits);
    draw(*blackOverlay, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, frame.black);
    draw(*whiteOverlay, D3DBLEND_SRCALPHA, D3DBLEND_ONE, frame.white);
}

void Timeline::destroy()
{
    glowOverlay.reset();
    for (auto pass = blurPasses.rbegin(); pass != blurPasses.rend(); ++pass)
        pass->reset();
    sceneTexture.reset();

    textOverlays.clear();
    creditsOverlay.reset();
    blackOverlay.reset();
    whiteOverlay.reset();

    // The managers take the scene, meshes, materials and textures with them; the scene's
    // lists still name the camera and light, so those go after it.
    scene = nullptr;
    revealMaterial = nullptr;
    textureManager.reset();
    sceneManager.reset();
    areTracksRead = false;
    camera.reset();
    targetNode.reset();
    light.reset();
}

} // namespace tincrates

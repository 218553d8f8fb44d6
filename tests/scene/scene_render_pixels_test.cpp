// What a rendered scene looks like: lit, fogged, hidden, pivoted and nested objects, read back
// from the headless device and compared with Direct3D 9's lighting and fog formulas.
#include "scene/scene.h"

#include "platform/gpu/shared_device.h"
#include "scene/scene_manager.h"
#include "scene_test_files.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tincrates {
namespace {

constexpr UINT size = 64;

// The material of every test square: half ambient, a warm diffuse colour, culling off.
const std::string squareMaterial = testing::materialFile(
    R"(<ambient r="0.5" g="0.5" b="0.5" a="1"/><diffuse r="0.8" g="0.6" b="0.4" a="1"/>)");
constexpr float materialAmbient = 0.5f;
constexpr float materialDiffuse[3] = {0.8f, 0.6f, 0.4f};

class SceneRenderPixels : public ::testing::Test {
protected:
    SceneRenderPixels()
    {
        publishSharedDevice(device.get());
        folder.write("data/square.mat", squareMaterial);
        folder.write("data/square.mesh", testing::squareMeshFile("square.mat"));
        folder.write("data/small.mesh", testing::squareMeshFile("square.mat", 0.25f));
        camera.fieldOfView = 60.0f;
        camera.aspect = 1.0f;
        camera.nearPlane = 1.0f;
        camera.farPlane = 100.0f;
        camera.transform.position = {0, 0, -2};
    }
    ~SceneRenderPixels() override { publishSharedDevice(nullptr); }

    Scene& load(const std::string& text)
    {
        folder.write("data/test.scene", text);
        Scene& scene = *manager.get("test.scene");
        scene.cameras.push_back(&camera);
        return scene;
    }

    void draw(Scene& scene, bool clear = true)
    {
        device->BeginScene();
        scene.render(0, clear);
        device->EndScene();
        pixels = device.readBack();
    }

    uint32_t at(int column, int row) const { return pixels[size_t(row) * size + size_t(column)]; }

    // The pixel column and row where the world point (x, y, 0) lands, for the camera at
    // (0, 0, -2) looking at the origin with a 60 degree field of view: world +x is on the left.
    static int columnOf(float x) { return int((1.0f - x * 0.8660254f) * 0.5f * size); }
    static int rowOf(float y) { return int((1.0f - y * 0.8660254f) * 0.5f * size); }

    testing::HeadlessDevice device{size, size};
    testing::ScratchDir folder;
    SceneManager manager;
    Camera camera;
    std::vector<uint32_t> pixels;
};

// Direct3D 9 vertex lighting without specular: emissive + ambient_m × (global ambient + Σ light
// ambient) + diffuse_m × Σ light diffuse × max(N·L, 0); the attenuation here is 1.
float litChannel(float ambientM, float diffuseM, int globalAmbient255, float lightAmbient,
    float lightDiffuse, float nDotL)
{
    float lit = ambientM * (globalAmbient255 / 255.0f + lightAmbient)
        + diffuseM * lightDiffuse * std::max(nDotL, 0.0f);
    return std::min(lit, 1.0f);
}

// Linear fog by eye depth: f = (end - depth) / (end - start), colour = f × C + (1 - f) × fog.
float fogged(float colour, float fogColour, float start, float end, float depth)
{
    float f = std::clamp((end - depth) / (end - start), 0.0f, 1.0f);
    return f * colour + (1.0f - f) * fogColour;
}

void expectPixel(float r, float g, float b, float a, uint32_t pixel)
{
    EXPECT_NEAR(r * 255.0f, testing::redOf(pixel), 1.0f);
    EXPECT_NEAR(g * 255.0f, testing::greenOf(pixel), 1.0f);
    EXPECT_NEAR(b * 255.0f, testing::blueOf(pixel), 1.0f);
    EXPECT_NEAR(a * 255.0f, testing::alphaOf(pixel), 1.0f);
}

// The light one unit in front of the square's centre: every corner sees it at 1/√3.
const std::string litScene = R"(<scene>
    <object mesh="square.mesh"/>
    <light><position z="-1"/></light>
</scene>)";
const float cornerNDotL = 1.0f / std::sqrt(3.0f);

TEST_F(SceneRenderPixels, LitObjectFollowsTheLightingFormula)
{
    Scene& scene = load(litScene);
    draw(scene);
    float r = litChannel(materialAmbient, materialDiffuse[0], 25, 0.05f, 1.0f, cornerNDotL);
    float g = litChannel(materialAmbient, materialDiffuse[1], 25, 0.05f, 1.0f, cornerNDotL);
    float b = litChannel(materialAmbient, materialDiffuse[2], 25, 0.05f, 1.0f, cornerNDotL);
    expectPixel(r, g, b, 1.0f, at(size / 2, size / 2));
    expectPixel(r, g, b, 1.0f, at(columnOf(0.9f), rowOf(-0.9f)));
    // Outside the square the clear colour remains: black with alpha 0.
    EXPECT_EQ(0u, at(0, 0));
    EXPECT_EQ(0u, at(size - 1, size - 1));
}

TEST_F(SceneRenderPixels, LightAndSceneColoursFromTheFileReachTheDevice)
{
    Scene& scene = load(R"(<scene>
        <ambient r="0.4" g="0" b="0.2"/>
        <object mesh="square.mesh"/>
        <light><position z="-1"/><ambient r="0.1" g="0.2" b="0"/><diffuse r="0.5" g="0" b="1"/>
        </light>
    </scene>)");
    draw(scene);
    float r = litChannel(materialAmbient, materialDiffuse[0], 102, 0.1f, 0.5f, cornerNDotL);
    float g = litChannel(materialAmbient, materialDiffuse[1], 0, 0.2f, 0.0f, cornerNDotL);
    float b = litChannel(materialAmbient, materialDiffuse[2], 51, 0.0f, 1.0f, cornerNDotL);
    expectPixel(r, g, b, 1.0f, at(size / 2, size / 2));
}

TEST_F(SceneRenderPixels, WithoutLightsTheMaterialIsUnlit)
{
    Scene& scene = load(R"(<scene><object mesh="square.mesh"/></scene>)");
    draw(scene);
    // Lighting off: the vertex colour, white, is drawn as it is.
    expectPixel(1.0f, 1.0f, 1.0f, 1.0f, at(size / 2, size / 2));
}

TEST_F(SceneRenderPixels, FogBlendsByEyeDepth)
{
    Scene& scene = load(litScene);
    scene.fogEnabled = true;
    scene.fogColour = {0.0f, 0.0f, 1.0f, 1.0f};
    scene.fogStart = 0.0f;
    scene.fogEnd = 4.0f;
    draw(scene);
    float r = litChannel(materialAmbient, materialDiffuse[0], 25, 0.05f, 1.0f, cornerNDotL);
    float g = litChannel(materialAmbient, materialDiffuse[1], 25, 0.05f, 1.0f, cornerNDotL);
    float b = litChannel(materialAmbient, materialDiffuse[2], 25, 0.05f, 1.0f, cornerNDotL);
    // The square lies in the plane two units ahead of the eye.
    expectPixel(fogged(r, 0, 0, 4, 2), fogged(g, 0, 0, 4, 2), fogged(b, 1, 0, 4, 2), 1.0f,
        at(size / 2, size / 2));
    DWORD fogState = TRUE;
    device->GetRenderState(D3DRS_FOGENABLE, &fogState);
    EXPECT_EQ(DWORD(FALSE), fogState);
}

TEST_F(SceneRenderPixels, FogBeyondTheEndIsTheFogColour)
{
    Scene& scene = load(litScene);
    scene.fogEnabled = true;
    scene.fogColour = {0.0f, 1.0f, 0.0f, 1.0f};
    scene.fogStart = 0.5f;
    scene.fogEnd = 1.5f;
    draw(scene);
    expectPixel(0.0f, 1.0f, 0.0f, 1.0f, at(size / 2, size / 2));
}

TEST_F(SceneRenderPixels, HiddenObjectStillPlacesItsChildren)
{
    Scene& scene = load(R"(<scene>
        <object mesh="small.mesh"><position x="0.5"/>
            <object mesh="small.mesh"><position y="0.5"/></object>
        </object>
    </scene>)");
    scene.objects[0]->visible = false;
    draw(scene);
    EXPECT_EQ(0u, at(columnOf(0.5f), rowOf(0.0f)));
    EXPECT_EQ(0xFFFFFFFFu, at(columnOf(0.5f), rowOf(0.5f)));
    EXPECT_EQ(0u, at(columnOf(0.0f), rowOf(0.5f)));
}

TEST_F(SceneRenderPixels, PivotMovesOnlyTheObjectsOwnMesh)
{
    Scene& scene = load(R"(<scene>
        <object mesh="small.mesh"><pivot><position x="0.5"/></pivot>
            <object mesh="small.mesh"><position y="0.5"/></object>
        </object>
    </scene>)");
    draw(scene);
    EXPECT_EQ(0xFFFFFFFFu, at(columnOf(0.5f), rowOf(0.0f)));
    EXPECT_EQ(0u, at(size / 2, size / 2));
    EXPECT_EQ(0xFFFFFFFFu, at(columnOf(0.0f), rowOf(0.5f)));
    EXPECT_EQ(0u, at(columnOf(0.5f), rowOf(0.5f)));
}

TEST_F(SceneRenderPixels, WithoutClearTheSceneIsDrawnOverTheTarget)
{
    Scene& scene = load(R"(<scene><object mesh="small.mesh"/></scene>)");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF0000u, 1.0f, 0);
    draw(scene, false);
    EXPECT_EQ(0xFFFF0000u, at(0, 0));
    EXPECT_EQ(0xFFFFFFFFu, at(size / 2, size / 2));
}

} // namespace
} // namespace tincrates

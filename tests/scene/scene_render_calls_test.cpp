// The device calls a scene render makes, in order: clearing, ambient, lighting, fog, camera,
// lights and objects.
#include "scene/scene.h"

#include "platform/gpu/shared_device.h"
#include "support/recording_device.h"
#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tincrates {
namespace {

class SceneRenderCalls : public ::testing::Test {
protected:
    SceneRenderCalls() { publishSharedDevice(&recorder); }
    ~SceneRenderCalls() override { publishSharedDevice(nullptr); }

    Light* addLight()
    {
        Light* light = scene.adopt(std::make_unique<Light>());
        scene.lights.push_back(light);
        return light;
    }

    std::vector<std::string> renderStates(int state)
    {
        return recorder.callsNamed("SetRenderState " + std::to_string(state));
    }

    testing::HeadlessDevice device{16, 16};
    testing::RecordingDevice recorder{*device.get()};
    Scene scene;
};

std::string bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return std::to_string(bits);
}

TEST_F(SceneRenderCalls, EmptySceneSwitchesLightingAndAllLightsOff)
{
    scene.render(0, true);
    std::vector<std::string> expected = {"Clear 0 null 7 0 1 0", "SetRenderState 139 4279834905",
        "SetRenderState 137 0", "SetRenderState 28 0"};
    for (int slot = 0; slot < 8; ++slot)
        expected.push_back("LightEnable " + std::to_string(slot) + " 0");
    expected.push_back("SetRenderState 28 0");
    EXPECT_EQ(expected, recorder.calls);
}

TEST_F(SceneRenderCalls, WithoutClearNothingIsCleared)
{
    scene.render(0, false);
    EXPECT_TRUE(recorder.callsNamed("Clear").empty());
}

TEST_F(SceneRenderCalls, ThreeLightsAreSetAndTheRestDisabled)
{
    for (int i = 0; i < 3; ++i)
        addLight();
    scene.render(0, false);
    EXPECT_EQ(std::vector<std::string>{"SetRenderState 137 1"}, renderStates(137));
    EXPECT_EQ((std::vector<std::string>{"SetLight 0", "SetLight 1", "SetLight 2"}),
        recorder.callsNamed("SetLight"));
    EXPECT_EQ((std::vector<std::string>{"LightEnable 0 1", "LightEnable 1 1", "LightEnable 2 1",
                  "LightEnable 3 0", "LightEnable 4 0", "LightEnable 5 0", "LightEnable 6 0",
                  "LightEnable 7 0"}),
        recorder.callsNamed("LightEnable"));
}

TEST_F(SceneRenderCalls, MoreThanEightLightsAreAllEnabled)
{
    for (int i = 0; i < 10; ++i)
        addLight();
    scene.render(0, false);
    std::vector<std::string> enables = recorder.callsNamed("LightEnable");
    ASSERT_EQ(10u, enables.size());
    EXPECT_EQ("LightEnable 9 1", enables.back());
    EXPECT_EQ(0, std::count_if(enables.begin(), enables.end(),
                     [](const std::string& call) { return call.back() == '0'; }));
}

TEST_F(SceneRenderCalls, FogIsSetForTheSceneAndSwitchedOffAfterwards)
{
    scene.fogEnabled = true;
    scene.fogColour = {0.5f, 0.25f, 1.0f, 1.0f};
    scene.fogStart = 10.0f;
    scene.fogEnd = 250.5f;
    scene.render(0, false);
    std::vector<std::string> calls = recorder.calls;
    auto fogOn = std::find(calls.begin(), calls.end(), "SetRenderState 28 1");
    ASSERT_NE(calls.end(), fogOn);
    std::vector<std::string> fogCalls(fogOn, fogOn + 5);
    EXPECT_EQ((std::vector<std::string>{"SetRenderState 28 1",
                  "SetRenderState 34 " + std::to_string(0xFF7F3FFFu), "SetRenderState 35 3",
                  "SetRenderState 36 " + bitsOf(10.0f), "SetRenderState 37 " + bitsOf(250.5f)}),
        fogCalls);
    EXPECT_EQ("SetRenderState 28 0", calls.back());
}

TEST_F(SceneRenderCalls, CameraSetsProjectionThenView)
{
    Camera camera;
    scene.cameras.push_back(&camera);
    scene.render(0, false);
    EXPECT_EQ((std::vector<std::string>{"SetTransform 3", "SetTransform 2"}),
        recorder.callsNamed("SetTransform"));
}

TEST_F(SceneRenderCalls, CameraIndexBeyondTheListLeavesViewAndProjection)
{
    scene.render(0, false);
    Camera camera;
    scene.cameras.push_back(&camera);
    scene.render(1, false);
    EXPECT_TRUE(recorder.callsNamed("SetTransform").empty());
}

TEST_F(SceneRenderCalls, SecondCameraIsTheOneApplied)
{
    Camera first;
    first.transform.position = {0, 0, -5};
    Camera second;
    second.transform.position = {0, 0, -7};
    scene.cameras = {&first, &second};
    scene.render(1, false);
    D3DMATRIX view;
    device->GetTransform(D3DTS_VIEW, &view);
    Matrix4 expected = second.worldMatrix();
    EXPECT_EQ(0, std::memcmp(&expected, &view, sizeof view));
}

TEST_F(SceneRenderCalls, DeviceLightIsAPointLightAtTheWorldPosition)
{
    SceneObject parent;
    parent.transform.position = {10, 0, 0};
    Light* light = scene.adopt(std::make_unique<Light>(&parent));
    scene.lights.push_back(light);
    light->transform.position = {0, 5, 0};
    light->diffuse = {0.5f, 0.25f, 0.125f, 0.75f};
    light->ambient = {0.1f, 0.2f, 0.3f, 0.4f};
    light->specular = {1, 1, 1, 1};
    scene.render(0, false);

    D3DLIGHT9 set{};
    device->GetLight(0, &set);
    EXPECT_EQ(D3DLIGHT_POINT, set.Type);
    EXPECT_FLOAT_EQ(10.0f, set.Position.x);
    EXPECT_FLOAT_EQ(5.0f, set.Position.y);
    EXPECT_FLOAT_EQ(0.0f, set.Position.z);
    EXPECT_FLOAT_EQ(0.5f, set.Diffuse.r);
    EXPECT_FLOAT_EQ(0.125f, set.Diffuse.b);
    EXPECT_FLOAT_EQ(0.0f, set.Diffuse.a);
    EXPECT_FLOAT_EQ(0.3f, set.Ambient.b);
    EXPECT_FLOAT_EQ(0.0f, set.Ambient.a);
    EXPECT_FLOAT_EQ(0.0f, set.Specular.r);
    EXPECT_FLOAT_EQ(0.0f, set.Specular.a);
    EXPECT_FLOAT_EQ(1.0f, set.Attenuation0);
    EXPECT_FLOAT_EQ(0.0f, set.Attenuation1);
    EXPECT_FLOAT_EQ(0.0f, set.Attenuation2);
    EXPECT_NEAR(1.8446743e19f, set.Range, 1e13f);
    EXPECT_EQ(0, std::memcmp(&set, &light->deviceLight, sizeof set));
}

TEST_F(SceneRenderCalls, NothingHappensWithoutADevice)
{
    publishSharedDevice(nullptr);
    addLight();
    Camera camera;
    scene.cameras.push_back(&camera);
    scene.render(0, true);
    EXPECT_TRUE(recorder.calls.empty());
}

} // namespace
} // namespace tincrates

// Drawing meshes: buffers made once at the first draw, the tightest index range, each group
// drawn with its own material, read back from the headless device.
#include "scene/mesh.h"

#include "mesh_file_builder.h"
#include "scene/mesh_manager.h"
#include "support/asset_fixture.h"
#include "support/recording_device.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tincrates {
namespace {

using namespace testing;

class MeshDraw : public AssetTest {
protected:
    MeshDraw()
        : recorder(*device.get())
    {
        publishSharedDevice(&recorder);
        D3DMATRIX identity{};
        identity.m[0][0] = identity.m[1][1] = identity.m[2][2] = identity.m[3][3] = 1;
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &identity);
    }

    Mesh* load(const MeshFileBuilder& file)
    {
        writeData("test.mesh", file.bytes());
        return meshes.get("test.mesh");
    }

    RecordingDevice recorder;
    MeshManager meshes;
};

bool near(int actual, int expected) { return std::abs(actual - expected) <= 1; }

TEST_F(MeshDraw, BuffersAreMadeAtTheFirstDrawOnly)
{
    writeData("plain.mat", "<material/>");
    MeshFileBuilder file;
    for (int i = 0; i < 10; ++i)
        file.vertex(float(i), 0, 0);
    file.group("plain.mat", {7, 3, 9}).group("plain.mat", {});
    file.group("plain.mat", {0, 1, 2, 2, 1, 0});
    Mesh* mesh = load(file);
    // A group without a material is drawn with the states that are current.
    mesh->groups[2].material = nullptr;
    EXPECT_TRUE(recorder.callsNamed("CreateVertexBuffer").empty());

    mesh->draw();
    EXPECT_EQ(recorder.callsNamed("CreateVertexBuffer"),
        (std::vector<std::string>{"CreateVertexBuffer 360 0 338 1"}));
    EXPECT_EQ(recorder.callsNamed("CreateIndexBuffer"),
        (std::vector<std::string>{
            "CreateIndexBuffer 6 0 101 1", "CreateIndexBuffer 12 0 101 1"}));
    EXPECT_EQ(recorder.callsNamed("SetFVF"), (std::vector<std::string>{"SetFVF 338"}));
    EXPECT_EQ(recorder.callsNamed("SetStreamSource"),
        (std::vector<std::string>{"SetStreamSource 0 ptr 0 36"}));
    EXPECT_EQ(recorder.callsNamed("DrawIndexedPrimitive"),
        (std::vector<std::string>{
            "DrawIndexedPrimitive 4 0 3 7 0 1", "DrawIndexedPrimitive 4 0 0 3 0 2"}));
    EXPECT_EQ(mesh->groups[0].minIndex, 3);
    EXPECT_EQ(mesh->groups[0].endIndex, 10);
    EXPECT_EQ(mesh->groups[1].indexBuffer, nullptr);
    EXPECT_EQ(recorder.callsNamed("SetMaterial").size(), 1u);

    recorder.calls.clear();
    mesh->draw();
    EXPECT_TRUE(recorder.callsNamed("CreateVertexBuffer").empty());
    EXPECT_TRUE(recorder.callsNamed("CreateIndexBuffer").empty());
    EXPECT_TRUE(recorder.callsNamed("BeginStateBlock").empty());
    EXPECT_EQ(recorder.callsNamed("DrawIndexedPrimitive").size(), 2u);
}

TEST_F(MeshDraw, EachGroupIsDrawnWithItsOwnMaterial)
{
    // Lit with no light and no ambient, a surface shows its emissive colour; the textured
    // material modulates its texture with that (white) colour, so the texture shows as it is.
    writeData("orange.mat",
        "<material><emissive r=\"1\" g=\"0.5\" b=\"0.25\"/><cull mode=\"none\"/></material>");
    writeSolidPng("blue.png", 0xFF4080C0);
    writeData("textured.mat", "<material><emissive/><texture file=\"blue.png\"/>"
                              "<cull mode=\"none\"/></material>");
    MeshFileBuilder file;
    file.vertex(-1, -1, 0.5f).vertex(-1, 1, 0.5f).vertex(0, 1, 0.5f).vertex(0, -1, 0.5f);
    file.vertex(0, -1, 0.5f, 0, 0, 1).vertex(0, 1, 0.5f, 0, 0, 0).vertex(1, 1, 0.5f, 0, 1, 0);
    file.vertex(1, -1, 0.5f, 0, 1, 1);
    file.group("orange.mat", {0, 1, 2, 0, 2, 3}).group("textured.mat", {4, 5, 6, 4, 6, 7});
    Mesh* mesh = load(file);

    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    mesh->draw();
    device->EndScene();

    std::vector<uint32_t> pixels = device.readBack();
    if (const char* folder = std::getenv("TINCRATES_TEST_PICTURES"))
        writePng(std::string(folder) + "/mesh_groups.png", 16, 16, pixels);
    for (int y : {1, 8, 14}) {
        uint32_t left = pixels[y * 16 + 3];
        EXPECT_TRUE(near(redOf(left), 255) && near(greenOf(left), 128) && near(blueOf(left), 64))
            << std::hex << left;
        uint32_t right = pixels[y * 16 + 12];
        EXPECT_TRUE(near(redOf(right), 0x40) && near(greenOf(right), 0x80)
            && near(blueOf(right), 0xC0))
            << std::hex << right;
    }
}

TEST_F(MeshDraw, WithoutVerticesOrADeviceNothingIsDrawn)
{
    writeData("empty.mesh", std::string("MESH1") + std::string(8, '\0'));
    meshes.get("empty.mesh")->draw();
    EXPECT_TRUE(recorder.calls.empty());

    Mesh mesh;
    mesh.vertices.push_back({});
    mesh.groups.emplace_back().indices = {0, 0, 0};
    publishSharedDevice(nullptr);
    mesh.draw();
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(mesh.vertexBuffer, nullptr);
    EXPECT_EQ(mesh.groups[0].indexBuffer, nullptr);
}

} // namespace
} // namespace tincrates

// meshconv as users run it: an OBJ model converted, described, loaded by the engine and drawn
// the right way round; bad input ends with a message and exit code 1.
#include "scene/mesh_manager.h"

#include "platform/gpu/shared_device.h"
#include "support/file_size_limit.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace tincrates {
namespace {

using namespace testing;

class MeshconvProgram : public ::testing::Test {
protected:
    int run(const std::string& arguments)
    {
        std::string command
            = std::string(MESHCONV_PROGRAM) + " " + arguments + " >output.txt 2>errors.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::string contentOf(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

    ScratchDir scratch;
};

// A square facing an OBJ viewer on +z (counter-clockwise seen from there), in two halves.
constexpr const char* squareObj = "v -1 -1 -0.5\nv 1 -1 -0.5\nv 1 1 -0.5\nv -1 1 -0.5\n"
                                  "usemtl red.mat\nf 1 2 3\n"
                                  "usemtl green.mat\nf 1 3 4\n";

TEST_F(MeshconvProgram, AConvertedModelLoadsAndShowsItsFrontFaces)
{
    scratch.write("square.obj", squareObj);
    scratch.write("data/red.mat", "<m><emissive r=\"1\" g=\"0\" b=\"0\"/></m>");
    scratch.write("data/green.mat", "<m><emissive r=\"0\" g=\"1\" b=\"0\"/></m>");
    ASSERT_EQ(run("convert square.obj data/square.mesh"), 0) << contentOf("errors.txt");
    EXPECT_EQ(contentOf("output.txt"),
        "4 vertices, 2 groups, 2 triangles\n"
        "bounds (-1, -1, 0.5) to (1, 1, 0.5)\n"
        "group 0: 1 triangle, vertices 0 to 2, material \"red.mat\"\n"
        "group 1: 1 triangle, vertices 0 to 3, material \"green.mat\"\n");
    ASSERT_EQ(run("info data/square.mesh"), 0);
    EXPECT_EQ(contentOf("output.txt").substr(0, 34), "4 vertices, 2 groups, 2 triangles\n");

    // Seen by the engine's camera on -z looking along +z, with the default culling of
    // counter-clockwise faces, both halves show: lower right red, upper left green.
    HeadlessDevice device(16, 16);
    publishSharedDevice(device.get());
    {
        MeshManager meshes;
        Mesh* mesh = meshes.get("square.mesh");
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_AMBIENT, 0);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
        device->BeginScene();
        mesh->draw();
        device->EndScene();
        std::vector<uint32_t> pixels = device.readBack();
        EXPECT_EQ(pixels[12 * 16 + 12] & 0xFFFFFF, 0xFF0000u) << std::hex << pixels[12 * 16 + 12];
        EXPECT_EQ(pixels[3 * 16 + 3] & 0xFFFFFF, 0x00FF00u) << std::hex << pixels[3 * 16 + 3];
    }
    publishSharedDevice(nullptr);
}

TEST_F(MeshconvProgram, BadInputEndsWithAMessageAndNoOutputFile)
{
    scratch.write("bad.obj", "v 0 0 0\nf 1 1 9\n");
    EXPECT_EQ(run("convert bad.obj bad.mesh"), 1);
    EXPECT_EQ(contentOf("errors.txt"),
        "meshconv: bad.obj: line 2: position index out of range: 9\n");
    EXPECT_FALSE(std::ifstream("bad.mesh").good());

    EXPECT_EQ(run("convert missing.obj out.mesh"), 1);
    EXPECT_EQ(contentOf("errors.txt"), "meshconv: missing.obj: cannot open the file\n");

    scratch.write("cut.mesh", std::string("MESH1\x02\0\0\0", 9));
    EXPECT_EQ(run("info cut.mesh"), 1);
    EXPECT_EQ(contentOf("errors.txt"), "meshconv: cut.mesh: Truncated MESH1-file\n");

    EXPECT_EQ(run("convert only-one-argument"), 1);
    EXPECT_EQ(run("frobnicate"), 1);
    EXPECT_EQ(contentOf("errors.txt"),
        "meshconv: unknown command frobnicate (see meshconv --help)\n");
}

TEST_F(MeshconvProgram, InputWithoutFacesIsRefusedAndNothingIsWritten)
{
    std::string noise;
    uint32_t state = 27;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1664525u + 1013904223u;
        noise += char(state >> 24);
    }
    scratch.write("noise.bin", noise);
    scratch.write("notes.txt", "Things to model:\n- a crate\n- a lid\n");
    scratch.write("empty.obj", "");
    scratch.write("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    scratch.write("older.mesh", "an older mesh");
    for (std::string input : {"noise.bin", "notes.txt", "empty.obj", "points.obj"}) {
        EXPECT_EQ(run("convert " + input + " new.mesh"), 1) << input;
        EXPECT_EQ(contentOf("errors.txt"),
            "meshconv: " + input
                + ": no faces to convert: a Wavefront OBJ model needs \"v\" and \"f\" lines\n");
        EXPECT_EQ(contentOf("output.txt"), "") << input;
        EXPECT_FALSE(std::ifstream("new.mesh").good()) << input;
        EXPECT_FALSE(std::ifstream("new.mesh.part").good()) << input;

        EXPECT_EQ(run("convert " + input + " older.mesh"), 1) << input;
        EXPECT_EQ(contentOf("older.mesh"), "an older mesh") << input;
    }
}

TEST_F(MeshconvProgram, AMeshThatCannotBeWrittenWholeLeavesTheOlderOne)
{
    std::string strip;
    for (int i = 0; i < 200; ++i)
        strip += "v " + std::to_string(i) + " 0 0\nv " + std::to_string(i) + " 1 0\n";
    for (int i = 1; i + 2 <= 400; ++i)
        strip += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " "
            + std::to_string(i + 2) + "\n";
    scratch.write("strip.obj", strip);
    scratch.write("older.mesh", "an older mesh");
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(run("convert strip.obj older.mesh"), 1);
    }
    EXPECT_EQ(contentOf("errors.txt"), "meshconv: older.mesh: cannot write the file\n");
    EXPECT_EQ(contentOf("older.mesh"), "an older mesh");
    // strip.obj, older.mesh, output.txt and errors.txt: no part of the new mesh is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path),
                            std::filesystem::directory_iterator()), 4);
}

} // namespace
} // namespace tincrates

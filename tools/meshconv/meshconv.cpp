// meshconv: Wavefront OBJ models to MESH1 files, and summaries of MESH1 files.
#include "cli/command_line.h"
#include "datafiles/replacing_file.h"
#include "tools/meshconv/mesh_data.h"
#include "tools/meshconv/obj_reader.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

using namespace tincrates;
using namespace tincrates::meshconv;

constexpr const char* usage =
    "Usage: meshconv COMMAND ARGUMENTS\n"
    "\n"
    "Makes MESH1 meshes, the production's own format, from Wavefront OBJ models, and\n"
    "describes MESH1 files.\n"
    "\n"
    "Commands:\n"
    "  convert MODEL.obj OUTPUT.mesh [-m MATERIAL]   convert an OBJ model; each usemtl NAME\n"
    "                                                becomes a group drawn with the material\n"
    "                                                file NAME, faces before any usemtl use\n"
    "                                                MATERIAL (default \"default.mat\")\n"
    "  info FILE.mesh                                describe a MESH1 file\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n";

constexpr const char* convertUsage =
    "Usage: meshconv convert MODEL.obj OUTPUT.mesh [-m MATERIAL]\n"
    "\n"
    "Converts the Wavefront OBJ model MODEL.obj into the MESH1 mesh OUTPUT.mesh and\n"
    "describes the mesh written. Each usemtl NAME becomes a group drawn with the material\n"
    "file NAME. The mesh is written whole or not at all: a model without faces, or a\n"
    "failed write, leaves an older OUTPUT.mesh as it was.\n"
    "\n"
    "  -m MATERIAL  the material file of the faces before any usemtl (default\n"
    "               \"default.mat\")\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n";

constexpr const char* infoUsage =
    "Usage: meshconv info FILE.mesh\n"
    "\n"
    "Describes the MESH1 file FILE.mesh: how many vertices, groups and triangles it has,\n"
    "its bounds, and each group's triangles, vertices and material.\n"
    "\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n";

std::string readWholeFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::string("cannot open the file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        throw std::string("cannot read the file");
    return content.str();
}

int convert(const char* input, const char* output, const std::string& defaultMaterial)
{
    std::string bytes;
    MeshData mesh;
    try {
        mesh = readObj(readWholeFile(input), defaultMaterial);
        // An empty mesh would load and draw nothing, hiding that the input was no model at all
        // (text, a MESH1 file, random bytes all read as OBJ without a single face).
        if (mesh.vertices.empty() || mesh.groups.empty())
            throw std::string(
                "no faces to convert: a Wavefront OBJ model needs \"v\" and \"f\" lines");
        bytes = encodeMesh1(mesh);
    } catch (const std::string& text) {
        std::fprintf(stderr, "meshconv: %s: %s\n", input, text.c_str());
        return 1;
    }
    // Written whole beside the output first, so a failed write never leaves half a mesh behind.
    try {
        writeWholeFile(output, bytes);
    } catch (const std::runtime_error&) {
        std::fprintf(stderr, "meshconv: %s: cannot write the file\n", output);
        return 1;
    }
    std::fputs(describeMesh(mesh).c_str(), stdout);
    return 0;
}

int info(const char* file)
{
    try {
        std::fputs(describeMesh(decodeMesh1(readWholeFile(file))).c_str(), stdout);
    } catch (const std::string& text) {
        std::fprintf(stderr, "meshconv: %s: %s\n", file, text.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine commandLine("meshconv", usage);
    std::string input;
    std::string output;
    std::string defaultMaterial = "default.mat";
    CLI::App& convertCommand = commandLine.addCommand("convert", convertUsage);
    const char* convertMissing = "expected an OBJ model and the mesh to write";
    commandLine.setMissingMessage(
        convertCommand.add_option("MODEL.obj", input)->required(), convertMissing);
    commandLine.setMissingMessage(
        convertCommand.add_option("OUTPUT.mesh", output)->required(), convertMissing);
    convertCommand.add_option("-m", defaultMaterial);
    std::string mesh;
    CLI::App& infoCommand = commandLine.addCommand("info", infoUsage);
    commandLine.setMissingMessage(infoCommand.add_option("FILE.mesh", mesh)->required(),
                                  "expected one mesh");
    if (std::optional<int> exitCode = commandLine.parse(argc, argv))
        return *exitCode;
    if (commandLine.command() == &convertCommand)
        return convert(input.c_str(), output.c_str(), defaultMaterial);
    if (commandLine.command() == &infoCommand)
        return info(mesh.c_str());
    return commandLine.fail("expected a command: convert or info");
}

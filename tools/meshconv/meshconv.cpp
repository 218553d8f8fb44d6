// meshconv: Wavefront OBJ models to MESH1 files, and summaries of MESH1 files.
#include "datafiles/replacing_file.h"
#include "tools/meshconv/mesh_data.h"
#include "tools/meshconv/obj_reader.h"

#include "project_version.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
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

int convert(int argc, char** argv)
{
    const char* input = nullptr;
    const char* output = nullptr;
    std::string defaultMaterial = "default.mat";
    bool isUsageWrong = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-m") == 0 && i + 1 < argc)
            defaultMaterial = argv[++i];
        else if (!input)
            input = argv[i];
        else if (!output)
            output = argv[i];
        else
            isUsageWrong = true;
    }
    if (!input || !output || isUsageWrong) {
        std::fputs(usage, stderr);
        return 1;
    }
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

int info(int argc, char** argv)
{
    if (argc != 1) {
        std::fputs(usage, stderr);
        return 1;
    }
    try {
        std::fputs(describeMesh(decodeMesh1(readWholeFile(argv[0]))).c_str(), stdout);
    } catch (const std::string& text) {
        std::fprintf(stderr, "meshconv: %s: %s\n", argv[0], text.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0)
        return convert(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "info") == 0)
        return info(argc - 2, argv + 2);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        printVersion("meshconv");
        return 0;
    }
    if (argc >= 2)
        std::fprintf(stderr, "meshconv: unknown command %s (see meshconv --help)\n", argv[1]);
    else
        std::fputs(usage, stderr);
    return 1;
}

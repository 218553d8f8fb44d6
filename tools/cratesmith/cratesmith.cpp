// cratesmith: makes the production's data folder from the generator's own sources.
#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/pictures/lettering.h"
#include "tools/cratesmith/pictures/textures.h"
#include "tools/cratesmith/scenery/scenery.h"
#include "tools/cratesmith/sound/soundtrack.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

namespace {

const char* usage = "usage: cratesmith FOLDER [--font FILE]\n"
                    "Writes the production's data files into FOLDER (emptied first).\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace tincrates::cratesmith;
    std::string folder;
    std::string font = CRATESMITH_DEFAULT_FONT;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (arg == "--font" && i + 1 < argc)
            font = argv[++i];
        else if (folder.empty() && !arg.starts_with("-"))
            folder = arg;
        else {
            std::fputs(usage, stderr);
            return 1;
        }
    }
    if (folder.empty()) {
        std::fputs(usage, stderr);
        return 1;
    }

    try {
        auto started = std::chrono::steady_clock::now();
        auto step = [&](const char* what) {
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now()
                                                           - started).count();
            std::fprintf(stderr, "cratesmith: %5.1f s  %s\n", seconds, what);
        };
        DataFolder data(folder);
        step("textures");
        makeTextures(data);
        step("lettering");
        makeLettering(data, font);
        step("scene, meshes and materials");
        makeScenery(data);
        step("soundtrack");
        data.writeBytes("soundtrk.mp3", makeSoundtrack());
        data.fixTimes();
        step(("done: " + std::to_string(data.names().size()) + " files in " + folder).c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cratesmith: %s\n", error.what());
    } catch (const std::string& error) {
        std::fprintf(stderr, "cratesmith: %s\n", error.c_str());
    }
    return 1;
}

// cratesmith: makes the production's data folder from the generator's own sources, and its icon.
#include "cli/command_line.h"
#include "production/frame_animation.h"
#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/pictures/icon.h"
#include "tools/cratesmith/pictures/lettering.h"
#include "tools/cratesmith/pictures/textures.h"
#include "tools/cratesmith/scenery/scenery.h"
#include "tools/cratesmith/sound/soundtrack.h"
#include "tools/media/png_writer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* usage
    = "Usage: cratesmith FOLDER [--font FILE] [--icon PIXELS FILE.png]...\n"
      "  or:  cratesmith --icon PIXELS FILE.png [--icon PIXELS FILE.png]...\n"
      "\n"
      "Writes the production's data files (scene, meshes, materials, images and soundtrack)\n"
      "into FOLDER, emptied first. The same sources give the same bytes on every run.\n"
      "\n"
      "  --font FILE           the font the lettering is set in (default\n"
      "                        " CRATESMITH_DEFAULT_FONT ")\n"
      "  --icon PIXELS FILE.png\n"
      "                        also, or without FOLDER only, the production's icon: a tin\n"
      "                        crate PIXELS wide and high (16 to 1024) on a clear background,\n"
      "                        as a PNG with alpha (its folder made when missing); may be\n"
      "                        given more than once\n"
      "  -h, --help            show this help and exit\n"
      "  --version             show the version and exit\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace tincrates::cratesmith;
    std::string folder;
    std::string font = CRATESMITH_DEFAULT_FONT;
    std::vector<std::pair<int, std::string>> icons; // size and file
    tincrates::CommandLine commandLine("cratesmith", usage);
    CLI::App& app = commandLine.app();
    app.add_option("FOLDER", folder);
    app.add_option("--font", font)->check(CLI::ExistingFile);
    // Every --icon adds an icon; its values come in pairs, a size and a file.
    auto readIcons = [&icons](const std::vector<std::string>& values) {
        for (size_t i = 0; i + 1 < values.size(); i += 2) {
            const std::string& size = values[i];
            char* end = nullptr;
            long pixels = std::strtol(size.c_str(), &end, 10);
            if (size.empty() || *end || pixels < 16 || pixels > 1024)
                throw tincrates::UsageError("--icon takes a size from 16 to 1024 pixels, not \""
                                            + size + "\"");
            icons.emplace_back(int(pixels), values[i + 1]);
        }
    };
    CLI::Option* icon = app.add_option_function<std::vector<std::string>>("--icon", readIcons)
                            ->type_size(2)
                            ->expected(1)
                            ->allow_extra_args(false)
                            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    commandLine.setMissingMessage(icon, "--icon needs a size in pixels and a file, such as 256 "
                                        "icon.png");
    if (std::optional<int> exitCode = commandLine.parse(argc, argv))
        return *exitCode;
    if (folder.empty() && icons.empty())
        return commandLine.fail("expected FOLDER, --icon PIXELS FILE.png or both");

    try {
        auto started = std::chrono::steady_clock::now();
        auto step = [&](const char* what) {
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now()
                                                           - started).count();
            std::fprintf(stderr, "cratesmith: %5.1f s  %s\n", seconds, what);
        };
        if (!folder.empty()) {
            DataFolder data(folder);
            step("textures");
            makeTextures(data);
            step("lettering");
            makeLettering(data, font);
            step("scene, meshes and materials");
            makeScenery(data);
            step("soundtrack");
            data.writeBytes(tincrates::soundtrackFileName, makeSoundtrack());
            data.fixTimes();
            step(("done: " + std::to_string(data.names().size()) + " files in " + folder)
                     .c_str());
        }
        if (!icons.empty()) {
            step("icon");
            IconFaces faces = makeIconFaces();
            for (const auto& [pixels, file] : icons) {
                Image icon = crateIcon(faces, pixels);
                std::filesystem::path folder = std::filesystem::path(file).parent_path();
                std::error_code error;
                if (!folder.empty())
                    std::filesystem::create_directories(folder, error);
                if (error)
                    throw std::runtime_error("cannot make " + folder.string() + ": "
                                             + error.message());
                tincrates::writePngFile(file, icon.width, icon.height, icon.pixels, true);
            }
            step(("done: " + std::to_string(icons.size()) + " icon"
                  + (icons.size() == 1 ? "" : "s")).c_str());
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cratesmith: %s\n", error.what());
    } catch (const std::string& error) {
        std::fprintf(stderr, "cratesmith: %s\n", error.c_str());
    }
    return 1;
}

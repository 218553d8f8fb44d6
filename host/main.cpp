// The production's entry: plays it on this machine's screen and sound card, or without them.
#include "cli/command_line.h"
#include "host/back_ends.h"
#include "host/production_folder.h"
#include "host/run_demo.h"
#include "production/picture_size.h"
#include "sync/sync_editor_client.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace {

const char* usage
    = "Usage: tincrates [--windowed] [--size WIDTHxHEIGHT] "
      "[--maker [--sync-editor [HOST[:PORT]]]]\n"
      "\n"
      "Plays the production of the current folder (the archive stashpack or the\n"
      "folder data/), or, where the current folder holds neither, the one installed\n"
      "with the program (" TINCRATES_PRODUCTION_FROM_PROGRAMS " from the program's own folder):\n"
      "full screen where there is a screen, headless where there is none. Escape or\n"
      "closing the window ends it; any other key prints the time.\n"
      "The picture is drawn at the size it is shown at: the largest 4:3 rectangle of\n"
      "the screen or window (1440 x 1080 on a 1920 x 1080 screen), or a 4:3 size\n"
      "smaller (down to 640 x 480) while the frames fall behind the screen's refresh.\n"
      "\n"
      "  --windowed  a window that can be resized (640 x 480 at first), instead of\n"
      "              full screen; the picture follows its size\n"
      "  --size WIDTHxHEIGHT\n"
      "              draw the picture at this fixed 4:3 size and scale it to the\n"
      "              screen: --size 640x480 gives the original's pixels\n"
      "  --maker     the maker's mode: Space pauses and resumes, Left and Right step a\n"
      "              beat, Page Up and Page Down eight, Home goes to the start, [ and ]\n"
      "              to the sync time before or after, L loops the phrase of eight\n"
      "              beats, F1 hides the status line; a data file changed on disk is\n"
      "              loaded again at once. Without a screen the commands come from\n"
      "              standard input, one a line: space or pause, left, right, pageup,\n"
      "              pagedown, home, [, ], l or loop, f1 or status, beat T (go to\n"
      "              beat T), quit or escape\n"
      "  --sync-editor [HOST[:PORT]]\n"
      "              direct the production live from a sync editor (GNU Rocket)\n"
      "              listening at HOST:PORT (default localhost:1338); its keys\n"
      "              override the production's timeline; its export writes them\n"
      "              to data/sync.rocket\n"
      "  -h, --help  show this help and exit\n"
      "  --version   show the version and exit\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "tincrates: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    tincrates::DemoServices services = tincrates::machineDemoServices();
    tincrates::CommandLine commandLine("tincrates", usage);
    CLI::App& app = commandLine.app();
    app.add_flag("--windowed", services.isWindowed);
    CLI::Option* maker = app.add_flag("--maker", services.isMaker);
    CLI::Option* size = app.add_option_function<std::string>("--size",
        [&services](const std::string& text) {
            tincrates::PictureSize size;
            std::string reason = tincrates::readFourByThreeSize(text, "--size", size);
            if (!reason.empty())
                throw tincrates::UsageError(reason);
            services.pictureSize = size;
        });
    commandLine.setMissingMessage(size, "--size needs a value such as 640x480");
    app.add_option_function<std::string>("--sync-editor",
           [&services](const std::string& address) {
               std::string problem;
               if (!tincrates::readEditorAddress(address, problem))
                   throw tincrates::UsageError("--sync-editor takes HOST or HOST:PORT such as "
                                               "localhost:1338, not \"" + address + "\"");
               services.syncEditorAddress = address;
           })
        ->expected(0, 1)
        ->needs(maker);
    if (std::optional<int> exitCode = commandLine.parse(argc, argv))
        return *exitCode;

    // The data files are looked up in the current folder; a program started elsewhere than in
    // a production plays the installed one.
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) {
        std::filesystem::path folder
            = tincrates::chooseProductionFolder(current, tincrates::runningProgramPath());
        if (!tincrates::holdsProduction(folder))
            return fail(tincrates::noProductionMessage(folder,
                "start tincrates in a production's folder, give that folder to scripts/play.sh "
                "(scripts/play.sh FOLDER), or install the production (see the README)"));
        if (folder != current) {
            std::string reason = tincrates::enterFolder(folder);
            if (!reason.empty())
                return fail(reason);
        }
    }
    return tincrates::runDemo(services);
}

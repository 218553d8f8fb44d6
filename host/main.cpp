// The production's entry: plays it on this machine's screen and sound card, or without them.
#include "host/back_ends.h"
#include "host/run_demo.h"

#include <cstdio>
#include <cstring>

namespace {

const char* usage = "usage: tincrates [--windowed]\n"
                    "\n"
                    "Plays the production of the current folder (the archive stashpack or the\n"
                    "folder data/): full screen where there is a screen, headless where there is\n"
                    "none. Escape or closing the window ends it; any other key prints the time.\n"
                    "\n"
                    "  --windowed  a window of 640 x 480 that can be resized, instead of full screen\n";

} // namespace

int main(int argc, char** argv)
{
    tincrates::DemoServices services = tincrates::machineDemoServices();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) {
            services.isWindowed = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "tincrates: unknown option %s\n", argv[i]);
            std::fputs(usage, stderr);
            return 1;
        }
    }
    return tincrates::runDemo(services);
}

// The production's entry. Until the display, the music and the timeline exist, it reports
// which parts of the engine are present and exits.
#include <cstdio>

int main()
{
    std::printf("tincrates: the production cannot play yet; data file access, the math and\n"
                "the resource managers are built, and the test suite covers them.\n");
    return 0;
}

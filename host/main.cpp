// The production's entry: plays it on this machine's screen and sound card, or without them.
#include "host/back_ends.h"
#include "host/run_demo.h"

int main()
{
    return tincrates::runDemo(tincrates::machineDemoServices());
}

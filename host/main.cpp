// The production's entry: plays it on this machine's screen and sound card, or without them.
#include "host/back_ends.h"
#include "host/run_demo.h"

int main()
{
    tincrates::DemoServices services;
    services.display = tincrates::machineDisplayServices();
    services.audioOutput = tincrates::machineAudioOutput();
    return tincrates::runDemo(services);
}

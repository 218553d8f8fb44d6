// The handlers only touch a flag of type sig_atomic_t and call signal() and raise(), which is
// all a handler may safely do.
#include "host/stop_signals.h"

#include <csignal>

namespace tincrates {

namespace {

volatile std::sig_atomic_t isSignalled = 0;

constexpr int stopSignalNumbers[] = {SIGINT, SIGTERM};
struct sigaction previousActions[2];

extern "C" void onStopSignal(int number)
{
    if (isSignalled) {
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    isSignalled = 1;
}

} // namespace

StopSignals::StopSignals()
{
    isSignalled = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // System calls in progress go on: the loop looks at the flag once a frame.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignalNumbers[i], &action, &previousActions[i]);
}

StopSignals::~StopSignals()
{
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignalNumbers[i], &previousActions[i], nullptr);
}

bool StopSignals::isStopRequested() const { return isSignalled != 0; }

} // namespace tincrates

// The handlers only touch variables of type sig_atomic_t and call clock_gettime(), signal()
// and raise(), all of which a handler may safely do.
#include "host/stop_signals.h"

#include <csignal>
#include <ctime>

namespace tincrates {

namespace {

volatile std::sig_atomic_t isSignalled = 0;
volatile std::sig_atomic_t firstNumber = 0;
// When the first signal came, in milliseconds of the monotonic clock (a wrap of sig_atomic_t
// after 24 days at most makes one repeat count as a new signal, which is harmless).
volatile std::sig_atomic_t firstMilliseconds = 0;

constexpr int stopSignalNumbers[] = {SIGINT, SIGTERM};

std::sig_atomic_t monotonicMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::sig_atomic_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

extern "C" void onStopSignal(int number)
{
    std::sig_atomic_t now = monotonicMilliseconds();
    if (!isSignalled) {
        isSignalled = 1;
        firstNumber = number;
        firstMilliseconds = now;
        return;
    }
    // `timeout` and a terminal signal the program and then its group, and Ctrl-C pressed
    // once may come as a burst: the same signal again so soon is the same request.
    if (number == firstNumber && now - firstMilliseconds < StopSignals::sameRequestMilliseconds)
        return;
    std::signal(number, SIG_DFL);
    std::raise(number);
}

// The handler, with the flags cleared before it goes in.
auto clearedHandler()
{
    isSignalled = 0;
    firstNumber = 0;
    return onStopSignal;
}

} // namespace

StopSignalHandlers::StopSignalHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // System calls in progress go on: whoever reads the flag looks at it between them.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignalNumbers[i], &action, &previous[i]);
}

StopSignalHandlers::~StopSignalHandlers()
{
    for (int i = 0; i < 2; ++i)
        sigaction(stopSignalNumbers[i], &previous[i], nullptr);
}

StopSignals::StopSignals()
    : handlers(clearedHandler())
{
}

bool StopSignals::isStopRequested() const { return isSignalled != 0; }

} // namespace tincrates

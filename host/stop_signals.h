// Ctrl-C and `kill` as a request to end the run: SIGINT and SIGTERM only raise a flag, which
// the frame loop reads, so the run is taken down in order as after Escape.
#pragma once

#include <csignal>

namespace tincrates {

// Puts `handler` in place for SIGINT and SIGTERM while it lives, with system calls in
// progress going on after it, and puts back the handlers before when it goes. Programs that
// a process starts meanwhile get the signals as usual: exec resets a handler.
class StopSignalHandlers {
public:
    explicit StopSignalHandlers(void (*handler)(int));
    ~StopSignalHandlers();
    StopSignalHandlers(const StopSignalHandlers&) = delete;
    StopSignalHandlers& operator=(const StopSignalHandlers&) = delete;

private:
    struct sigaction previous[2];
};

// Installs handlers for SIGINT and SIGTERM while it lives, and restores the ones before it
// when it goes. Installed before SDL starts, it keeps SDL from putting in its own handlers,
// which only queue an event that nothing reads without a window. A second signal while the
// first is still unanswered ends the process as the signal does by default, so a run that
// hangs can still be stopped; the same signal again within sameRequestMilliseconds is taken
// as a repeat of the first request, as `timeout` sends it to the program and then to its
// process group. Only one may live at a time.
class StopSignals {
public:
    static constexpr int sameRequestMilliseconds = 500;

    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether SIGINT or SIGTERM has arrived since this was made.
    bool isStopRequested() const;

private:
    StopSignalHandlers handlers;
};

} // namespace tincrates

// Progress of long work on standard error: a bar redrawn in place on a terminal once the work
// has taken a second, a line every 10 seconds in a log.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tincrates {

class ProgressMeter {
public:
    // `label` starts each report ("capture: rendering"); amounts are shown divided by
    // `unitSize` and followed by `unit` ("frames", "MiB").
    ProgressMeter(std::string label, uint64_t total, std::string unit, double unitSize = 1);
    // Ends a bar drawn in place with a line break.
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    void update(uint64_t done);
    void finish();

private:
    std::string label;
    uint64_t total;
    std::string unit;
    double unitSize;
    bool isTerminal;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastShown{};
    bool isShown = false;
};

} // namespace tincrates

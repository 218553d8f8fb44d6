#include "tools/progress/progress_meter.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace tincrates {

ProgressMeter::ProgressMeter(std::string label, uint64_t total, std::string unit, double unitSize)
    : label(std::move(label))
    , total(total)
    , unit(std::move(unit))
    , unitSize(unitSize)
    , isTerminal(::isatty(STDERR_FILENO) == 1)
{
}

ProgressMeter::~ProgressMeter() { finish(); }

void ProgressMeter::update(uint64_t done)
{
    auto now = std::chrono::steady_clock::now();
    // A terminal shows the bar once the work takes a second; a log gets a line only for work
    // long enough to wonder about.
    auto interval = isTerminal ? std::chrono::milliseconds(250) : std::chrono::seconds(10);
    auto patience = isTerminal ? std::chrono::seconds(1) : std::chrono::seconds(10);
    if (now - started < patience || now - lastShown < interval)
        return;
    lastShown = now;
    double seconds = std::chrono::duration<double>(now - started).count();
    double rate = double(done) / seconds;
    double fraction = total == 0 ? 1.0 : std::min(1.0, double(done) / double(total));
    constexpr int barWidth = 24;
    char bar[barWidth + 1];
    int filled = int(fraction * barWidth);
    for (int i = 0; i < barWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[barWidth] = '\0';
    char left[32] = "";
    if (rate > 0 && done < total)
        std::snprintf(left, sizeof left, ", %.0f s left", double(total - done) / rate);
    std::fprintf(stderr, "%s%s [%s] %3d%%  %.*f of %.*f %s, %.1f per second%s%s",
                 isTerminal ? "\r" : "", label.c_str(), bar, int(fraction * 100),
                 unitSize == 1 ? 0 : 1, double(done) / unitSize, unitSize == 1 ? 0 : 1,
                 double(total) / unitSize, unit.c_str(), rate / unitSize, left,
                 isTerminal ? "\x1b[K" : "\n");
    std::fflush(stderr);
    isShown = isTerminal;
}

void ProgressMeter::finish()
{
    if (isShown)
        std::fputc('\n', stderr);
    isShown = false;
}

} // namespace tincrates

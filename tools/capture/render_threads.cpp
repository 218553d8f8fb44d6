// How many threads the CPU renderer draws a capture with.
#include "tools/capture/render_threads.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

namespace tincrates {

void shareCoresWithTheEncoder()
{
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    setenv("LP_NUM_THREADS", std::to_string(cores + 1).c_str(), 0);
}

} // namespace tincrates

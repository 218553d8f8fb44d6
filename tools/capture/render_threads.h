// How many threads the CPU renderer draws a capture with.
#pragma once

namespace tincrates {

// Mesa's CPU renderer starts one rasterizer thread per core. Here the cores are shared with
// this program's own thread and the encoders, and one thread more keeps them busier: a whole
// capture on two cores took 52 to 58 s with three threads against 58 to 70 s with two, for
// less CPU time in all. A setting the user made stands. Call before the device is made.
void shareCoresWithTheEncoder();

} // namespace tincrates

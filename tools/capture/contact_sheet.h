// A contact sheet: small copies of frames from the whole production in one picture, each
// labelled with its demo time.
#pragma once

#include "tools/capture/capture_options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tincrates {

// The sheet's moments: one every 8 beats, from the start to the end (endTime). From beat 8
// on, each whole beat starts a white flash, so each is taken half a beat later, when the
// flash has faded; the last one is half a beat before the end.
std::vector<double> contactSheetTimes();

struct SheetFrame {
    double t;                     // the demo time it shows, written under it
    std::vector<uint32_t> pixels; // frameWidth × frameHeight, 0xXXRRGGBB, top row first
};

struct ContactSheet {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // 0xFFRRGGBB, top row first
};

// Lays the frames out in rows of six, each shrunk to a quarter of its width and height by
// averaging, with its time in the cell's lower left corner.
ContactSheet makeContactSheet(const std::vector<SheetFrame>& frames, uint32_t frameWidth,
                              uint32_t frameHeight);

// Captures the contact sheet of the whole production into the PNG file `path` (its folder
// made when missing), with a summary line on standard output; a stop signal before the first
// frame leaves none. Returns the exit code: 0, or 1 after an error it has reported.
int captureContactSheet(const Options& options, const std::string& path);

} // namespace tincrates

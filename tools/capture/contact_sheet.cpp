// The contact sheet: its moments, its layout, and its capture.
#include "tools/capture/contact_sheet.h"

#include "post/pixel_font.h"
#include "production/frame_animation.h"
#include "tools/capture/made_folders.h"
#include "tools/capture/stills.h"
#include "tools/media/png_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tincrates {

namespace {

constexpr uint32_t columns = 6;
constexpr uint32_t shrink = 4;
constexpr uint32_t gap = 4;

// Writes `text` at (x, y) in white, each font pixel `scale` pixels wide, on a dark box with a
// font pixel of room around the glyphs.
void writeLabel(ContactSheet& sheet, uint32_t x, uint32_t y, const char* text, uint32_t scale)
{
    uint32_t length = uint32_t(std::strlen(text));
    uint32_t boxWidth = (length * characterAdvance + 1) * scale;
    uint32_t boxHeight = lineAdvance * scale;
    for (uint32_t row = 0; row < boxHeight && y + row < sheet.height; ++row)
        for (uint32_t column = 0; column < boxWidth && x + column < sheet.width; ++column) {
            uint32_t& p = sheet.pixels[size_t(y + row) * sheet.width + x + column];
            p = 0xFF000000u | ((p >> 2) & 0x3F3F3F); // a quarter as bright
        }
    const PixelView view{sheet.pixels.data(), int(sheet.width), int(sheet.height),
        int(sheet.width)};
    writeText(view, int(x + scale), int(y + scale), text, 0xFFFFFFFFu, int(scale));
}

} // namespace

std::vector<double> contactSheetTimes()
{
    std::vector<double> times;
    for (int beat = 0; beat < int(endTime); beat += 8)
        times.push_back(beat + 0.5);
    times.push_back(231.5);
    return times;
}

ContactSheet makeContactSheet(const std::vector<SheetFrame>& frames, uint32_t frameWidth,
                              uint32_t frameHeight)
{
    ContactSheet sheet;
    uint32_t cellWidth = frameWidth / shrink;
    uint32_t cellHeight = frameHeight / shrink;
    uint32_t rows = (uint32_t(frames.size()) + columns - 1) / columns;
    sheet.width = columns * cellWidth + (columns + 1) * gap;
    sheet.height = rows * cellHeight + (rows + 1) * gap;
    sheet.pixels.assign(size_t(sheet.width) * sheet.height, 0xFF202020u);
    for (size_t i = 0; i < frames.size(); ++i) {
        uint32_t left = gap + uint32_t(i % columns) * (cellWidth + gap);
        uint32_t top = gap + uint32_t(i / columns) * (cellHeight + gap);
        const auto& pixels = frames[i].pixels;
        for (uint32_t y = 0; y < cellHeight; ++y)
            for (uint32_t x = 0; x < cellWidth; ++x) {
                uint32_t sum[3] = {0, 0, 0};
                for (uint32_t sy = 0; sy < shrink; ++sy)
                    for (uint32_t sx = 0; sx < shrink; ++sx) {
                        uint32_t p = pixels[size_t(y * shrink + sy) * frameWidth + x * shrink + sx];
                        sum[0] += p >> 16 & 0xFF;
                        sum[1] += p >> 8 & 0xFF;
                        sum[2] += p & 0xFF;
                    }
                constexpr uint32_t count = shrink * shrink;
                uint32_t r = (sum[0] + count / 2) / count, g = (sum[1] + count / 2) / count,
                         b = (sum[2] + count / 2) / count;
                sheet.pixels[size_t(top + y) * sheet.width + left + x] =
                    0xFF000000u | r << 16 | g << 8 | b;
            }
        char label[32];
        std::snprintf(label, sizeof label, "t=%g", frames[i].t);
        writeLabel(sheet, left + 2, top + cellHeight - 2 - 9 * 2, label, 2);
    }
    return sheet;
}

int captureContactSheet(const Options& options, const std::string& path)
{
    std::vector<SheetFrame> frames;
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    std::vector<double> times = contactSheetTimes();
    size_t taken = 0;
    int result = captureMoments(options, times,
        [&](double t, std::vector<uint32_t>& pixels, UINT width, UINT height) {
            frames.push_back({t, std::move(pixels)});
            frameWidth = width;
            frameHeight = height;
        }, taken);
    if (result != 0)
        return result;
    if (frames.empty()) {
        std::printf("no contact sheet: stopped before beat %g\n", times[0]);
        return 0;
    }
    ContactSheet sheet = makeContactSheet(frames, frameWidth, frameHeight);
    std::filesystem::path target(path);
    MadeFolders madeFolders;
    if (!madeFolders.make(target.parent_path()))
        return 1;
    try {
        writePngFile(target, sheet.width, sheet.height, sheet.pixels);
    } catch (const std::string& text) {
        std::fprintf(stderr, "capture: %s\n", text.c_str());
        return 1;
    }
    madeFolders.keep();
    std::printf("contact sheet of %zu frames in %s", frames.size(), path.c_str());
    if (taken < times.size())
        std::printf("; stopped before beat %g", times[taken]);
    std::printf("\n");
    return 0;
}

} // namespace tincrates

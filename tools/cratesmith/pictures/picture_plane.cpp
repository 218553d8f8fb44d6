// Plane operations: blur, dilation, lighting of height fields, packing of pixels.
#include "tools/cratesmith/pictures/picture_plane.h"

#include <cmath>

namespace tincrates::cratesmith {

namespace {

int edgeIndex(int i, int size, Edge edge)
{
    if (edge == Edge::wrap)
        return ((i % size) + size) % size;
    return std::clamp(i, 0, size - 1);
}

// One pass of a box filter of half-width `reach` (fractional: the outermost taps are weighted by
// the fraction) along rows, or along columns when `alongColumns`.
Plane boxPass(const Plane& in, float reach, bool alongColumns, Edge edge)
{
    Plane out(in.width, in.height);
    int whole = int(reach);
    float part = reach - float(whole);
    float norm = 1.0f / (2.0f * reach + 1.0f);
    int length = alongColumns ? in.height : in.width;
    int lines = alongColumns ? in.width : in.height;
    std::vector<float> line(size_t(length) + 2 * size_t(whole + 1));
    for (int l = 0; l < lines; ++l) {
        // The line with its padding, so the inner loop needs no edge tests.
        for (int i = -whole - 1; i < length + whole + 1; ++i) {
            int j = edgeIndex(i, length, edge);
            line[size_t(i + whole + 1)] = alongColumns ? in.at(l, j) : in.at(j, l);
        }
        // A running sum over the whole taps; the two fractional taps are added apart.
        float sum = 0.0f;
        for (int k = -whole; k <= whole; ++k)
            sum += line[size_t(k + whole + 1)];
        for (int i = 0; i < length; ++i) {
            const float* centre = &line[size_t(i + whole + 1)];
            float value = (sum + part * (centre[-whole - 1] + centre[whole + 1])) * norm;
            (alongColumns ? out.at(l, i) : out.at(i, l)) = value;
            if (i + 1 < length)
                sum += centre[whole + 1] - centre[-whole];
        }
    }
    return out;
}

} // namespace

float Plane::at(int x, int y, Edge edge) const
{
    return at(edgeIndex(x, width, edge), edgeIndex(y, height, edge));
}

Plane blurred(const Plane& plane, float radius, Edge edge)
{
    if (radius < 0.5f)
        return plane;
    // Three boxes whose variances, (width^2 - 1) / 12 each, add up to that of a Gaussian with
    // sigma = radius / 2.
    float sigma = radius * 0.5f;
    float reach = 0.5f * (std::sqrt(4.0f * sigma * sigma + 1.0f) - 1.0f);
    Plane result = plane;
    for (int pass = 0; pass < 3; ++pass) {
        result = boxPass(result, reach, false, edge);
        result = boxPass(result, reach, true, edge);
    }
    return result;
}

Plane dilated(const Plane& plane, int radius, Edge edge)
{
    Plane rows(plane.width, plane.height);
    for (int y = 0; y < plane.height; ++y)
        for (int x = 0; x < plane.width; ++x) {
            float most = plane.at(x, y);
            for (int k = -radius; k <= radius; ++k)
                most = std::max(most, plane.at(x + k, y, edge));
            rows.at(x, y) = most;
        }
    Plane result(plane.width, plane.height);
    for (int y = 0; y < plane.height; ++y)
        for (int x = 0; x < plane.width; ++x) {
            float most = rows.at(x, y);
            for (int k = -radius; k <= radius; ++k)
                most = std::max(most, rows.at(x, y + k, edge));
            result.at(x, y) = most;
        }
    return result;
}

Plane lit(const Plane& height, float steepness, Edge edge)
{
    // The lamp's direction from the surface: left, up (rows grow downwards) and out of it.
    const float lx = -0.45f, ly = -0.55f, lz = 0.70f;
    float lampLength = std::sqrt(lx * lx + ly * ly + lz * lz);
    float flat = lz / lampLength;
    Plane result(height.width, height.height);
    for (int y = 0; y < height.height; ++y)
        for (int x = 0; x < height.width; ++x) {
            float dx = 0.5f * (height.at(x + 1, y, edge) - height.at(x - 1, y, edge)) * steepness;
            float dy = 0.5f * (height.at(x, y + 1, edge) - height.at(x, y - 1, edge)) * steepness;
            float facing = (-dx * lx - dy * ly + lz) / std::sqrt(dx * dx + dy * dy + 1.0f);
            result.at(x, y) = std::max(0.0f, facing / lampLength / flat);
        }
    return result;
}

void stretch(Plane& plane)
{
    if (plane.values.empty())
        return;
    auto [lowest, highest] = std::minmax_element(plane.values.begin(), plane.values.end());
    float low = *lowest, range = *highest - *lowest;
    if (range <= 0.0f)
        return;
    for (float& value : plane.values)
        value = (value - low) / range;
}

uint32_t packPixel(Rgb colour, float alpha)
{
    auto byte = [](float value) { return uint32_t(std::lround(clamp01(value) * 255.0f)); };
    return byte(alpha) << 24 | byte(colour.r) << 16 | byte(colour.g) << 8 | byte(colour.b);
}

} // namespace tincrates::cratesmith

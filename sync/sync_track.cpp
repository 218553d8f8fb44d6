// Key lookup and interpolation of a sync track.
#include "sync/sync_track.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace tincrates {

namespace {

bool isKnownInterpolation(KeyInterpolation interpolation)
{
    return uint8_t(interpolation) <= uint8_t(KeyInterpolation::ramp);
}

// The editor takes the difference of two keys' values in single precision and the rest in
// double; doing the same keeps the production's values equal to what the editor shows.
double interpolate(const SyncKey& from, const SyncKey& to, double row)
{
    double t = (row - double(from.row)) / (double(to.row) - double(from.row));
    switch (from.interpolation) {
    case KeyInterpolation::step:
        return from.value;
    case KeyInterpolation::linear:
        break;
    case KeyInterpolation::smooth:
        t = t * t * (3 - 2 * t);
        break;
    case KeyInterpolation::ramp:
        t = t * t;
        break;
    }
    float difference = to.value - from.value;
    return double(from.value) + double(difference) * t;
}

} // namespace

SyncTrack::SyncTrack(std::string name)
    : trackName(std::move(name))
{
}

void SyncTrack::setKey(const SyncKey& key)
{
    assert(isKnownInterpolation(key.interpolation));
    auto at = std::lower_bound(sortedKeys.begin(), sortedKeys.end(), key.row,
                               [](const SyncKey& k, uint32_t row) { return k.row < row; });
    if (at != sortedKeys.end() && at->row == key.row)
        *at = key;
    else
        sortedKeys.insert(at, key);
}

void SyncTrack::deleteKey(uint32_t row)
{
    auto at = std::lower_bound(sortedKeys.begin(), sortedKeys.end(), row,
                               [](const SyncKey& k, uint32_t r) { return k.row < r; });
    if (at != sortedKeys.end() && at->row == row)
        sortedKeys.erase(at);
}

double SyncTrack::valueAt(double row) const
{
    if (sortedKeys.empty())
        return 0;
    // Written so that a row that is not a number also lands here.
    if (!(row >= double(sortedKeys.front().row)))
        return sortedKeys.front().value;
    // Binary search, the keys being sorted by row: the first key after floor(row).
    double wholeRow = std::floor(row);
    auto next = std::upper_bound(sortedKeys.begin(), sortedKeys.end(), wholeRow,
                                 [](double r, const SyncKey& k) { return r < double(k.row); });
    if (next == sortedKeys.end())
        return sortedKeys.back().value;
    return interpolate(*std::prev(next), *next, row);
}

} // namespace tincrates

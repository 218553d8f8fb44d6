// A sync track: a named value over time, given as keys on a grid of rows and interpolated
// between them the way the sync editor shows it, so that what the maker sees in the editor is
// what the production plays.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tincrates {

// How a key's value goes over to the next key's; the numbers are the editor's own.
enum class KeyInterpolation : uint8_t { step = 0, linear = 1, smooth = 2, ramp = 3 };

struct SyncKey {
    uint32_t row = 0;
    float value = 0;
    KeyInterpolation interpolation = KeyInterpolation::step;

    bool operator==(const SyncKey&) const = default;
};

class SyncTrack {
public:
    explicit SyncTrack(std::string name);

    // The full name, as the production asks the editor for it ("camera:fov").
    const std::string& name() const { return trackName; }

    bool hasKeys() const { return !sortedKeys.empty(); }

    // The keys in row order, one per row; valid until the next change of the track.
    std::span<const SyncKey> keys() const { return sortedKeys; }

    // Puts `key` on its row, replacing the key already there. The interpolation must be one
    // of the four the enumeration names.
    void setKey(const SyncKey& key);

    // Removes the key on `row`; does nothing when there is none.
    void deleteKey(uint32_t row);

    void clearKeys() { sortedKeys.clear(); }

    // The value at a fractional row: 0 without keys (the production then uses its own value);
    // the first key's value before the first key, the last key's at or after the last key;
    // otherwise the key at or before the row interpolated towards the next. Allocates nothing
    // and takes a binary search.
    double valueAt(double row) const;

    bool operator==(const SyncTrack&) const = default;

private:
    std::string trackName;
    std::vector<SyncKey> sortedKeys;
};

} // namespace tincrates

#include "production/frame_tracks.h"

#include "sync/tracks_file.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace tincrates {

const std::array<FrameTrackName, frameTrackCount> frameTrackNames = {{
    {"camera:x", "scene units"},
    {"camera:y", "scene units"},
    {"camera:z", "scene units"},
    {"look:x", "scene units"},
    {"look:y", "scene units"},
    {"look:z", "scene units"},
    {"camera:roll", "degrees"},
    {"camera:fov", "degrees"},
    {"light:x", "scene units"},
    {"light:y", "scene units"},
    {"light:z", "scene units"},
    {"tumble:x", "degrees"},
    {"tumble:y", "degrees"},
    {"tumble:z", "degrees"},
    {"reveal", "opacity, 0 to 1"},
    {"flash", "opacity, 0 to 1"},
    {"fade", "opacity, 0 to 1"},
    {"credits", "opacity, 0 to 1"},
    {"text", "text image number; below 0 none"},
    {"text:opacity", "opacity, 0 to 1"},
    {"fog:red", "0 to 1"},
    {"fog:green", "0 to 1"},
    {"fog:blue", "0 to 1"},
    {"fog:start", "scene units from the camera"},
    {"fog:end", "scene units from the camera"},
}};

namespace {

constexpr double radiansPerDegree = std::numbers::pi / 180.0;

// The rotation that turns about x first, then y, then z, by angles in radians: as the
// matrix Rx × Ry × Rz does, so a maker's three angles read as the usual Euler angles. w is
// kept non-negative, as the built-in tumble keeps it.
Quaternion rotationFromAngles(double x, double y, double z)
{
    const double cx = std::cos(x / 2), sx = std::sin(x / 2);
    const double cy = std::cos(y / 2), sy = std::sin(y / 2);
    const double cz = std::cos(z / 2), sz = std::sin(z / 2);
    // qz · qy · qx (Hamilton's product): x acts first.
    double qx = sx * cy * cz - cx * sy * sz;
    double qy = cx * sy * cz + sx * cy * sz;
    double qz = cx * cy * sz - sx * sy * cz;
    double qw = cx * cy * cz + sx * sy * sz;
    double sign = qw < 0.0 ? -1.0 : 1.0;
    return {float(sign * qx), float(sign * qy), float(sign * qz), float(sign * qw)};
}

} // namespace

std::vector<std::string> frameTrackNameList()
{
    std::vector<std::string> names;
    for (const FrameTrackName& track : frameTrackNames)
        names.emplace_back(track.name);
    return names;
}

FrameTracks::FrameTracks()
{
    list.reserve(frameTrackCount);
    for (const FrameTrackName& track : frameTrackNames)
        list.emplace_back(track.name);
}

FrameTracks FrameTracks::fromDocument(
    const TracksDocument& document, std::vector<std::string>& unknownNames)
{
    FrameTracks tracks;
    for (const SyncTrack& track : document.tracks) {
        auto known = std::find_if(frameTrackNames.begin(), frameTrackNames.end(),
            [&](const FrameTrackName& name) { return track.name() == name.name; });
        if (known == frameTrackNames.end())
            unknownNames.push_back(track.name());
        else
            tracks.list[size_t(known - frameTrackNames.begin())] = track;
    }
    return tracks;
}

FrameTracks FrameTracks::fromTracks(std::span<const SyncTrack> tracks)
{
    assert(tracks.size() == frameTrackCount);
    FrameTracks made;
    std::copy(tracks.begin(), tracks.end(), made.list.begin());
    return made;
}

bool FrameTracks::hasKeys() const
{
    return std::any_of(list.begin(), list.end(), [](const SyncTrack& t) { return t.hasKeys(); });
}

std::optional<unsigned> FrameTracks::textImagesShown() const
{
    const SyncTrack& text = list[size_t(FrameTrack::text)];
    if (!text.hasKeys())
        return std::nullopt;
    unsigned count = 0;
    // Between keys a number is reached only on the way to the next key, so the keys bound it.
    for (const SyncKey& key : text.keys())
        if (key.value >= 0)
            count = std::max(count, unsigned(std::min(key.value, 1e6f)) + 1);
    return count;
}

void FrameTracks::direct(FrameAnimation& frame, float t) const
{
    const double row = rowAt(t);
    auto set = [&](FrameTrack track, float& value) {
        const SyncTrack& keyed = list[size_t(track)];
        if (keyed.hasKeys())
            value = float(keyed.valueAt(row));
    };
    auto setOverlay = [&](FrameTrack track, OverlayDraw& overlay) {
        const SyncTrack& keyed = list[size_t(track)];
        if (keyed.hasKeys()) {
            overlay.isShown = true;
            overlay.opacity = float(keyed.valueAt(row));
        }
    };

    set(FrameTrack::cameraX, frame.cameraPosition.x);
    set(FrameTrack::cameraY, frame.cameraPosition.y);
    set(FrameTrack::cameraZ, frame.cameraPosition.z);
    set(FrameTrack::lookX, frame.lookPoint.x);
    set(FrameTrack::lookY, frame.lookPoint.y);
    set(FrameTrack::lookZ, frame.lookPoint.z);
    if (hasKeys(FrameTrack::cameraRoll))
        frame.cameraRoll
            = float(list[size_t(FrameTrack::cameraRoll)].valueAt(row) * radiansPerDegree);
    set(FrameTrack::cameraFieldOfView, frame.fieldOfViewDegrees);
    set(FrameTrack::lightX, frame.lightPosition.x);
    set(FrameTrack::lightY, frame.lightPosition.y);
    set(FrameTrack::lightZ, frame.lightPosition.z);
    // The three angles make one rotation: keying any of them replaces the built-in tumble,
    // with the angles not keyed at 0.
    if (hasKeys(FrameTrack::tumbleX) || hasKeys(FrameTrack::tumbleY)
        || hasKeys(FrameTrack::tumbleZ)) {
        frame.tumble = rotationFromAngles(
            list[size_t(FrameTrack::tumbleX)].valueAt(row) * radiansPerDegree,
            list[size_t(FrameTrack::tumbleY)].valueAt(row) * radiansPerDegree,
            list[size_t(FrameTrack::tumbleZ)].valueAt(row) * radiansPerDegree);
    }
    set(FrameTrack::reveal, frame.revealAlpha);
    setOverlay(FrameTrack::flash, frame.white);
    setOverlay(FrameTrack::fade, frame.black);
    setOverlay(FrameTrack::credits, frame.credits);
    if (hasKeys(FrameTrack::text)) {
        // A text number is whole; a negative one shows none. The opacity is full unless its
        // own track is keyed.
        double number = std::floor(list[size_t(FrameTrack::text)].valueAt(row));
        frame.text.isShown = number >= 0;
        frame.textNumber = frame.text.isShown ? unsigned(std::min(number, 1e6)) : 0;
        frame.text.opacity = 1.0f;
    }
    if (hasKeys(FrameTrack::textOpacity)) {
        frame.text.opacity = float(list[size_t(FrameTrack::textOpacity)].valueAt(row));
        if (!hasKeys(FrameTrack::text))
            frame.text.isShown = true;
    }
    set(FrameTrack::fogRed, frame.fogColour.r);
    set(FrameTrack::fogGreen, frame.fogColour.g);
    set(FrameTrack::fogBlue, frame.fogColour.b);
    set(FrameTrack::fogStart, frame.fogStart);
    set(FrameTrack::fogEnd, frame.fogEnd);
}

} // namespace tincrates

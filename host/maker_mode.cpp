#include "host/maker_mode.h"

#include "assets/material_manager.h"
#include "assets/texture_manager.h"
#include "audio/music_stream.h"
#include "datafiles/data_file.h"
#include "production/frame_animation.h"
#include "production/timeline.h"
#include "scene/mesh_manager.h"
#include "scene/scene_manager.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

namespace tincrates {

namespace {

// Makes the next build load the changed files again, and what depends on them: the scene
// (which also lists the production's camera and light), the meshes and the materials always,
// being small and holding what they use; of the images, those that changed, or all when the
// archive changed.
void loadAfresh(const std::vector<std::string>& changed)
{
    SceneManager::loadAfresh();
    MeshManager::loadAfresh();
    MaterialManager::loadAfresh();
    for (const std::string& name : changed)
        TextureManager::loadAfresh(name == dataArchiveName ? std::string() : name);
}

} // namespace

std::string shortReason(const std::string& text)
{
    const std::string prefix = "Failed to load ";
    std::string file;
    std::string reason;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (line.rfind(prefix, 0) == 0) {
            file = line.substr(prefix.size());
            reason.clear();
        } else if (!line.empty()) {
            reason += (reason.empty() ? "" : " ") + line;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (file.empty())
        return reason;
    return reason.empty() ? file : file + ": " + reason;
}

MakerMode::MakerMode(MusicStream& music)
    : music(music)
{
    setDataFileObserver([this](const std::string& name, DataFileOrigin origin) {
        origins[name] = origin;
    });
    std::error_code error;
    if (std::filesystem::is_regular_file(dataArchiveName, error)
        && std::filesystem::is_directory(dataFolderName, error)) {
        reloadNews = "data/ overrides stashpack: its files are shown in place of the archive's";
        std::fprintf(stderr, "tincrates: %s\n", reloadNews.c_str());
    }
}

MakerMode::~MakerMode() { setDataFileObserver({}); }

bool MakerMode::isShown(const std::string& name) const
{
    if (name == dataArchiveName) {
        // The archive shows through every name data/ does not hold, and may now hold a name
        // that was found nowhere before.
        for (const auto& [file, origin] : origins)
            if (origin != DataFileOrigin::folder)
                return true;
        return false;
    }
    return origins.count(name) != 0;
}

void MakerMode::reload(const std::vector<std::string>& changed,
    std::unique_ptr<Timeline>& timeline,
    const std::function<std::unique_ptr<Timeline>()>& makeTimeline)
{
    std::string names;
    for (const std::string& name : changed)
        names += (names.empty() ? "" : ", ") + name;
    auto start = std::chrono::steady_clock::now();
    try {
        loadAfresh(changed);
        std::unique_ptr<Timeline> made = makeTimeline();
        made->textFollowsTime = true;
        made->build();
        timeline->destroy();
        timeline = std::move(made);
        double seconds = std::chrono::duration<double>(
            std::chrono::steady_clock::now() - start).count();
        char news[64];
        std::snprintf(news, sizeof news, " in %.0f ms", seconds * 1000);
        reloadNews = "reloaded " + names + news;
        reloadError.clear();
        std::fprintf(stderr, "tincrates: %s\n", reloadNews.c_str());
    } catch (const std::string& text) {
        reloadError = shortReason(text);
        std::fprintf(stderr, "tincrates: %s changed and does not load; the last good "
            "version stays:\n%s\n", names.c_str(), text.c_str());
    } catch (const std::exception& error) {
        reloadError = error.what();
        std::fprintf(stderr, "tincrates: %s changed and does not load: %s\n",
            names.c_str(), error.what());
    }
}

void MakerMode::beforeFrame(double t, std::unique_ptr<Timeline>& timeline,
    const std::function<std::unique_ptr<Timeline>()>& makeTimeline)
{
    std::vector<std::string> changed = watcher.changes(DataWatcher::Clock::now());
    std::vector<std::string> shown;
    std::string unused;
    for (const std::string& name : changed) {
        if (name == soundtrackFileName) {
            reloadNews = "soundtrk.mp3 changed: the soundtrack is read at the start only";
            std::fprintf(stderr, "tincrates: %s\n", reloadNews.c_str());
        } else if (isShown(name)) {
            shown.push_back(name);
        } else {
            unused += (unused.empty() ? "" : ", ") + name;
        }
    }
    if (!unused.empty() && shown.empty()) {
        reloadNews = unused + " changed: nothing shown comes from it";
        std::fprintf(stderr, "tincrates: %s\n", reloadNews.c_str());
    }
    if (!shown.empty())
        reload(shown, timeline, makeTimeline);

    // A text track directing the texts moves where [ and ] land: to its keys.
    if (timeline.get() != notedTimeline || timeline->directions != notedDirections) {
        notedTimeline = timeline.get();
        notedDirections = timeline->directions;
        textChanges.clear();
        if (timeline->tracks().hasKeys(FrameTrack::text))
            for (const SyncKey& key : timeline->tracks().tracks()[size_t(FrameTrack::text)].keys())
                textChanges.push_back(float(double(key.row) / rowsPerBeat));
    }

    if (loopStart && t >= *loopStart + double(beatsPerPhrase))
        music.seekBytes(soundOffsetAt(*loopStart));
    // The production stands at its end until the maker moves it.
    if (t > endTime && !isPaused) {
        music.pause();
        isPaused = true;
        music.seekBytes(soundOffsetAt(endTime));
    }
}

void MakerMode::jumpTo(double beat)
{
    music.seekBytes(soundOffsetAt(beat));
    if (loopStart)
        loopStart = (phrasePlaceOf(beat).phrase - 1) * double(beatsPerPhrase);
}

bool MakerMode::apply(const MakerCommand& command)
{
    // From where the music is now rather than from the last frame's time, so that several
    // jumps before the next frame (a key held down) add up.
    double t = demoTimeAt(music.positionSeconds());
    switch (command.type) {
    case MakerCommandType::Quit:
        return false;
    case MakerCommandType::TogglePause:
        isPaused = !isPaused;
        if (isPaused)
            music.pause();
        else
            music.resume();
        return true;
    case MakerCommandType::ToggleLoop:
        if (loopStart)
            loopStart.reset();
        else
            loopStart = (phrasePlaceOf(t).phrase - 1) * double(beatsPerPhrase);
        return true;
    case MakerCommandType::ToggleStatus:
        isStatusShown = !isStatusShown;
        return true;
    default:
        break;
    }
    std::span<const float> changes = syncTimes;
    if (!textChanges.empty())
        changes = textChanges;
    if (std::optional<double> target = jumpTarget(command, t, changes))
        jumpTo(*target);
    return true;
}

std::string MakerMode::statusText(double t, const Timeline& timeline,
    std::optional<double> framesPerSecond, std::optional<PictureSize> pictureSize) const
{
    PhrasePlace place = phrasePlaceOf(t);
    std::string text = "no text";
    if (timeline.textShown) {
        char name[16];
        std::snprintf(name, sizeof name, "text %02u", *timeline.textShown);
        text = name;
    }
    char line[160];
    std::snprintf(line, sizeof line, "beat %.2f | phrase %d beat %d/%d | %s", t, place.phrase,
        place.beat, beatsPerPhrase, text.c_str());
    std::string status = line;
    if (framesPerSecond) {
        std::snprintf(line, sizeof line, " | %.0f fps", *framesPerSecond);
        status += line;
    }
    if (pictureSize) {
        std::snprintf(line, sizeof line, framesPerSecond ? " at %dx%d" : " | %dx%d",
            pictureSize->width, pictureSize->height);
        status += line;
    }
    if (isPaused)
        status += " | paused";
    if (loopStart) {
        std::snprintf(line, sizeof line, " | loop %g-%g", *loopStart,
            *loopStart + double(beatsPerPhrase));
        status += line;
    }
    if (!editorState.empty())
        status += " | " + editorState;
    if (!reloadError.empty())
        status += "\n" + reloadError;
    else if (!reloadNews.empty())
        status += "\n" + reloadNews;
    return status;
}

} // namespace tincrates

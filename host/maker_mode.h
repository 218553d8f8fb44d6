// The maker's mode of a run: time that stops, steps and loops on the beat, data files that
// are loaded again when they change on disk, and a status line that says where the
// production stands. The run's loop (run_demo.cpp) asks it before and after each frame.
#pragma once

#include "datafiles/data_file.h"
#include "host/data_watcher.h"
#include "host/maker_commands.h"
#include "production/picture_size.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tincrates {

class MusicStream;
class Timeline;

// "Failed to load voltcrate.scene\nFailed to load crate.material\nline 3: ..." as a maker
// reads it on one line: the innermost file and its reason, "crate.material: line 3: ...".
std::string shortReason(const std::string& text);

class MakerMode {
public:
    // `music` is not owned and must outlive this. Files are watched in the current folder,
    // and every file the production opens from now on is noted with where it came from. The
    // run looks in data/ before stashpack while this lives (see DataLookupOrderScope); when
    // the folder holds both, the news says so once.
    explicit MakerMode(MusicStream& music);
    ~MakerMode();
    MakerMode(const MakerMode&) = delete;
    MakerMode& operator=(const MakerMode&) = delete;

    // Before each frame, at demo time `t`: when data files that the production shows have
    // changed on disk, builds a new production from them with `makeTimeline` and puts it in
    // place of `timeline` (a change to a file it does not use is only told); when that fails, keeps the old one on screen and keeps the error for the status line and writes
    // it to standard error. Then keeps a loop in its phrase and time within the production.
    void beforeFrame(double t, std::unique_ptr<Timeline>& timeline,
        const std::function<std::unique_ptr<Timeline>()>& makeTimeline);

    // Carries out `command` from where the music is now. Returns false when it asks the run
    // to end.
    bool apply(const MakerCommand& command);

    // The status line at demo time `t`: time, phrase and beat, the text shown, the frame
    // rate and the size the picture is drawn at when given, pause and loop, the sync editor's
    // connection; a second line with the last reload's error or news.
    std::string statusText(double t, const Timeline& timeline,
        std::optional<double> framesPerSecond,
        std::optional<PictureSize> pictureSize = std::nullopt) const;

    bool isStatusShown = true;
    bool isPaused = false;
    std::optional<double> loopStart; // the first beat of the phrase being looped
    std::string reloadError;         // the last failed reload's reason; empty after a good one
    std::string reloadNews;          // what the last good reload loaded, and how long it took
    std::string editorState;         // the sync editor's connection, when the run has one

    // Where files are watched; tests make it look often.
    DataWatcher watcher;

private:
    // Moves music and picture to `beat`; a loop moves to the phrase it lands in.
    void jumpTo(double beat);
    // Whether a change of the file `name` (a data file, or the archive) alters what is shown.
    bool isShown(const std::string& name) const;
    // Builds the production afresh after `changed` and tells how it went.
    void reload(const std::vector<std::string>& changed, std::unique_ptr<Timeline>& timeline,
        const std::function<std::unique_ptr<Timeline>()>& makeTimeline);

    MusicStream& music; // not owned
    // Where a directing text track changes the text, in order; empty when the texts keep their
    // built-in schedule. Worked out again when the timeline or its tracks change.
    std::vector<float> textChanges;
    const Timeline* notedTimeline = nullptr; // compared only
    unsigned notedDirections = 0;
    // Every name the production has asked for, and where it was found the last time.
    std::map<std::string, DataFileOrigin> origins;
};

} // namespace tincrates

// Start-up, the frame loop and shut-down of one run.
#include "host/run_demo.h"

#include "audio/music_stream.h"
#include "datafiles/data_file.h"
#include "host/command_input.h"
#include "host/maker_mode.h"
#include "host/picture_size_governor.h"
#include "host/sync_editor_link.h"
#include "post/text_line.h"
#include "host/stop_signals.h"
#include "platform/gpu/linear_filtering.h"
#include "platform/sound/audio_output.h"
#include "platform/window/window.h"
#include "production/frame_animation.h"
#include "production/timeline.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

namespace tincrates {

namespace {

constexpr const char* title = "flickering tin crates";

// The widest status line of the maker's mode, in characters.
constexpr int statusColumns = 120;

// Frames per second over the last whole second, for the maker's status line.
class FrameRate {
public:
    void count(std::chrono::steady_clock::time_point now)
    {
        ++frames;
        if (frames == 1 && !hasStarted) {
            start = now;
            hasStarted = true;
            return;
        }
        double seconds = std::chrono::duration<double>(now - start).count();
        if (seconds >= 1.0) {
            rate = double(frames - 1) / seconds;
            frames = 1;
            start = now;
        }
    }
    std::optional<double> perSecond() const { return rate; }

private:
    std::chrono::steady_clock::time_point start;
    int frames = 0;
    bool hasStarted = false;
    std::optional<double> rate;
};

// Whether the soundtrack has been played to its end: no sound is left to copy from its
// position.
bool isMusicOver(const MusicStream& music)
{
    uint8_t probe[audioBytesPerFrame];
    return BASS_ChannelGetData(music.stream, probe, sizeof probe) == 0;
}

} // namespace

namespace {

// Carries out the next command typed to a maker's run without a screen: one a frame, so that
// each one's frame is drawn (and reported, through isReportDue) before the next is taken.
// Returns false when the run should end: on "quit", or once the input has ended.
bool takeTypedCommand(CommandInput& commands, MakerMode& maker, bool& isReportDue)
{
    std::string error;
    while (std::optional<std::string> line = commands.nextLine()) {
        std::optional<MakerCommand> command = parseMakerCommand(*line, error);
        if (!error.empty())
            std::fprintf(stderr, "tincrates: %s\n", error.c_str());
        if (!command)
            continue;
        isReportDue = true;
        return maker.apply(*command);
    }
    return !commands.isAtEnd() || isReportDue;
}

// What a maker's run adds to a viewer's: the mode, its status line and the frame rate it
// shows and, without a screen, the commands typed instead of keys.
struct MakersRun {
    MakersRun(MusicStream& music, const std::optional<std::string>& syncEditorAddress)
        : mode(music)
    {
        if (syncEditorAddress)
            editor.emplace(*syncEditorAddress, mode);
    }
    MakerMode mode;
    std::optional<SyncEditorLink> editor;
    TextLine statusLine{statusColumns, 2};
    FrameRate frameRate;
    std::optional<CommandInput> commands;
    bool isReportDue = false; // a typed command waits for its frame's status line
};

std::chrono::steady_clock::time_point frameTime(const DemoServices& services)
{
    return services.frameClock ? services.frameClock() : std::chrono::steady_clock::now();
}

// Draws the frame at demo time `t` with the maker's status line over it, shows it, and
// answers a typed command with the status line.
void showFrame(float t, Display& display, Timeline& timeline, MakersRun* makers,
    const DemoServices& services)
{
    IDirect3DDevice9& device = *display.device;
    device.BeginScene();
    timeline.renderFrame(t);
    if (makers && makers->mode.isStatusShown) {
        makers->statusLine.setText(
            makers->mode.statusText(t, timeline, makers->frameRate.perSecond(),
                PictureSize{display.backBufferWidth(), display.backBufferHeight()}));
        makers->statusLine.draw(UINT(display.backBufferWidth()),
            UINT(display.backBufferHeight()),
            TextLine::scaleFor(UINT(display.backBufferHeight())));
    }
    device.EndScene();
    if (makers)
        makers->frameRate.count(frameTime(services));
    if (device.Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST)
        throw std::string("Lost device.");
    if (services.framePresented)
        services.framePresented(device, t);
    if (makers && makers->isReportDue) {
        std::printf("%s\n", makers->mode.statusText(t, timeline, std::nullopt).c_str());
        std::fflush(stdout);
        makers->isReportDue = false;
    }
}

// Takes every pending window event, even after one has asked to stop: keys print the time
// `t` or, in the maker's mode, carry out its commands. True when the run should end.
bool takeWindowEvents(Window& window, MakerMode* maker, float t)
{
    bool isStopping = false;
    WindowEvent event;
    while (window.pollEvent(event)) {
        if (event.type == WindowEventType::CloseRequested) {
            isStopping = true;
        } else if (event.type == WindowEventType::KeyDown) {
            std::optional<MakerCommand> command;
            if (maker)
                command = commandForKey(event.key);
            // A key held down steps on through the beats; nothing else repeats.
            if (event.isRepeat && !(command && isRepeatable(*command)))
                continue;
            if (command) {
                if (!maker->apply(*command))
                    isStopping = true;
            } else {
                std::printf("time %f\n", double(t));
                std::fflush(stdout);
            }
            // A tap of Escape that is over before the key state is read still counts.
            if (event.isEscape)
                isStopping = true;
        }
    }
    return isStopping;
}

// Runs the production; every error is thrown out of here as text or as a standard exception.
// Locals are declared in the order they are made, so an error takes them down in reverse
// before the caller reports it.
void playDemo(const DemoServices& services)
{
    StopSignals stopSignals;
    Display display(services.display);
    PictureSize size = services.pictureSize.value_or(originalPictureSize);
    display.open(title, size.width, size.height, D3DFMT_X8R8G8B8, !services.isWindowed,
        !services.pictureSize);
    IDirect3DDevice9& device = *display.device;

    useLinearFiltering(device);

    if (services.audioOutput)
        selectAudioOutput(services.audioOutput);
    // A maker edits the loose files in data/; those are what the run shows, whatever the
    // archive beside them holds.
    std::optional<DataLookupOrderScope> lookupOrder;
    if (services.isMaker)
        lookupOrder.emplace(DataLookupOrder::folderFirst);
    auto music = std::make_unique<MusicStream>(display.window.get());

    auto makeTimeline = [&]() -> std::unique_ptr<Timeline> {
        std::unique_ptr<Timeline> made = services.createTimeline
            ? services.createTimeline(device, *music)
            : std::make_unique<Timeline>(device, *music);
        if (!made)
            throw std::string("No production to play");
        return made;
    };
    std::unique_ptr<Timeline> timeline = makeTimeline();
    // Made before the build, so that the maker's mode notes every file the build opens.
    std::optional<MakersRun> makers;
    if (services.isMaker) {
        makers.emplace(*music, services.syncEditorAddress);
        timeline->textFollowsTime = true;
    }
    // The images decode on a second core while this one decodes the soundtrack.
    timeline->prepare();
    music->load(soundtrackFileName, 0.0);
    timeline->build();

    music->play();

    Window& window = *display.window;
    // Without a screen a maker types commands instead of keys.
    if (makers && !window.isOnScreen())
        makers->commands.emplace(services.commandInput);
    // On a screen, and unless the size is fixed, the picture's size follows how fast the
    // frames come.
    std::optional<PictureSizeGovernor> governor;
    if (services.adaptsPictureSize.value_or(window.isOnScreen() && !services.pictureSize)) {
        D3DDISPLAYMODE mode{};
        display.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        governor.emplace(mode.RefreshRate);
    }
    bool isSoundLossTold = false;
    bool isStopping = false;
    while (!isStopping) {
        if (makers)
            makers->mode.beforeFrame(demoTimeAt(music->positionSeconds()), timeline, makeTimeline);
        if (makers && makers->editor)
            makers->editor->beforeFrame(*timeline, frameTime(services));
        const float t = demoTimeAt(music->positionSeconds());
        showFrame(t, display, *timeline, makers ? &*makers : nullptr, services);
        if (makers && makers->editor)
            makers->editor->afterFrame(t);
        if (governor) {
            if (std::optional<PictureSize> limit
                = governor->frameShown(frameTime(services), display.windowPictureSize())) {
                if (limit->width != display.backBufferWidth())
                    std::fprintf(stderr, "tincrates: drawing the picture at %dx%d%s\n",
                        limit->width, limit->height,
                        limit->width < display.backBufferWidth()
                            ? ": the frames do not keep up with the screen"
                            : "");
                display.limitPictureSize(limit);
            }
        }

        isStopping = takeWindowEvents(window, makers ? &makers->mode : nullptr, t);
        if (makers && makers->commands
            && !takeTypedCommand(*makers->commands, makers->mode, makers->isReportDue))
            isStopping = true;
        if (window.isEscapeDown())
            isStopping = true;
        // A new back buffer comes with every state at its default: the filtering set at
        // start-up is set again; the production sets everything else it draws with itself.
        if (display.fitToWindow())
            useLinearFiltering(device);
        if (!isSoundLossTold && isAudioOutputLost()) {
            std::fprintf(stderr, "tincrates: the sound device went away; the production plays "
                "on silently\n");
            isSoundLossTold = true;
        }
        if (stopSignals.isStopRequested())
            isStopping = true;
        if (!makers && t > endTime)
            isStopping = true;
        if (!makers && services.endsWithTheMusic && isMusicOver(*music))
            isStopping = true;
    }

    timeline->destroy();
    timeline.reset();
    music.reset();
    display.close();
}

} // namespace

int runDemo(const DemoServices& services)
{
    std::string failure;
    try {
        playDemo(services);
        return 0;
    } catch (const std::string& text) {
        failure = text;
    } catch (const std::bad_alloc&) {
        failure = "Out of memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    if (services.display.showMessage)
        services.display.showMessage(failure, "");
    return 1;
}

} // namespace tincrates

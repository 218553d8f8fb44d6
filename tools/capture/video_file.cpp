// Running ffmpeg: one process that encodes the frames it reads from a pipe, side by side with
// the rendering, then one that encodes the sound kept meanwhile, joins it to the frames and puts
// the index at the front of the file, so that it plays as it loads.
#include "tools/capture/video_file.h"

#include "datafiles/replacing_file.h"
#include "host/stop_signals.h"
#include "platform/sound/audio_output.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tincrates {

namespace {

namespace fs = std::filesystem;

// What ffmpeg exits with after SIGINT or SIGTERM: it stops reading its input, writes the end
// of its file with what it has taken, and says so with this code instead of 0.
constexpr int ffmpegStoppedBySignal = 255;

bool exitedWell(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

bool wasStoppedBySignal(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == ffmpegStoppedBySignal;
}

// An ffmpeg that ended its file early on a stop signal, or an ffprobe that the signal ended.
bool isCutShort(int status)
{
    return wasStoppedBySignal(status)
        || (WIFSIGNALED(status) && (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM));
}

volatile std::sig_atomic_t isStopSignalHeld = 0;

extern "C" void holdStopSignal(int) { isStopSignalHeld = 1; }

// While the video is finished, SIGINT and SIGTERM are noted instead of ending capture half-way,
// which would lose the frames so far: the steps take a few seconds and end by themselves. The
// processes started meanwhile get the signals as usual.
class HeldStopSignals {
    // The handler, with the flag cleared before it goes in.
    static auto clearedHandler()
    {
        isStopSignalHeld = 0;
        return holdStopSignal;
    }

public:
    HeldStopSignals()
        : handlers(clearedHandler())
    {
    }

    bool hasArrived() const { return isStopSignalHeld != 0; }
    void forget() { isStopSignalHeld = 0; }

private:
    StopSignalHandlers handlers;
};

// Runs a step of finishing the video and returns its wait status. A stop signal ends ffmpeg
// early with a file that is whole but short, so a step it cut short is made again; a signal
// during that one too means the user insists, and the video is given up.
int runFinishingStep(HeldStopSignals& held, const std::function<int()>& step)
{
    int status = step();
    if (!isCutShort(status) || !held.hasArrived())
        return status;
    held.forget();
    status = step();
    if (isCutShort(status) && held.hasArrived())
        throw std::string("stopped again while the video was being finished; it was not written");
    return status;
}

// Starts `command` (ffmpeg or ffprobe and its arguments) with its standard input from `input`
// (or /dev/null when -1), its standard output into `output` (or /dev/null when -1) and its
// messages added to `log`. Returns the process, or throws.
pid_t startProgram(std::vector<std::string> command, int input, int output, const fs::path& log)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<char*> argv;
    for (auto& argument : command)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t process = -1;
    int error = posix_spawnp(&process, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error == ENOENT)
        throw command[0] + " is needed to write video and was not found "
                           "(it is the Debian package ffmpeg)";
    if (error != 0)
        throw "cannot start " + command[0] + ": " + std::strerror(error);
    return process;
}

pid_t startFfmpeg(const std::vector<std::string>& arguments, int input, const fs::path& log)
{
    std::vector<std::string> command = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return startProgram(std::move(command), input, -1, log);
}

// Waits for the process to end; returns its wait status.
int waitFor(pid_t process)
{
    int status = 0;
    while (waitpid(process, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return status;
}

// Runs `command` to its end with its standard output into `output`; returns its wait status.
int runForOutput(const std::vector<std::string>& command, std::string& output,
                 const fs::path& log)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::string("cannot make a pipe: ") + std::strerror(errno);
    pid_t process = -1;
    try {
        process = startProgram(command, -1, ends[1], log);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
    ::close(ends[1]);
    output.clear();
    char buffer[256];
    for (;;) {
        ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, size_t(got));
    }
    ::close(ends[0]);
    return waitFor(process);
}

fs::path besideTarget(const fs::path& target, const std::string& suffix)
{
    return target.parent_path() / ("." + target.filename().string() + suffix);
}

} // namespace

VideoFile::VideoFile(fs::path target, uint32_t width, uint32_t height, int framesPerSecond)
    : target(std::move(target))
    , videoPath(besideTarget(this->target, ".video.mp4"))
    , soundPath(besideTarget(this->target, ".sound.pcm"))
    , joinedPath(besideTarget(this->target, ".part.mp4"))
    , logPath(besideTarget(this->target, ".ffmpeg.log"))
    , frameBytes(size_t(width) * height * 4)
    , framesPerSecond(framesPerSecond)
    // ffmpeg reads up to 5 MB (its probe size) to learn what its input holds before it starts,
    // and the pipe holds 1 MiB more: a signal that ends it then loses at most these frames.
    , firstFramesKept((5'000'000 + (1 << 20)) / frameBytes + 2)
{
    // A stopped encoder must show as a failed write, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    removeTemporaries(); // the files of an earlier run that was cut short
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string rate = std::to_string(framesPerSecond);
    // x264's fastest preset: at this quality (crf 18) its files are about 1.6 times those of
    // "veryfast", for a third of the encoder's time, which the renderer needs more. A frame
    // larger than 640 × 480 is slower to draw, so the encoder can take more time over it:
    // "veryfast" halves a 1080-line video (26 to 14 Mbit/s), which would otherwise be too
    // large to share, and the whole production still takes less than three times its music
    // on two cores.
    const char* preset = size_t(width) * height > 640u * 480u ? "veryfast" : "ultrafast";
    encoderArguments = {"-f", "rawvideo", "-pixel_format", "bgra", "-video_size", size,
        "-framerate", rate, "-i", "pipe:0", "-c:v", "libx264", "-preset", preset, "-crf", "18",
        "-pix_fmt", "yuv420p", "-g", std::to_string(framesPerSecond * 2), videoPath.string()};
    sound = std::fopen(soundPath.c_str(), "wb");
    if (!sound)
        throw "cannot write " + this->target.string() + ": " + std::strerror(errno);
    try {
        startEncoder();
    } catch (...) {
        std::fclose(sound);
        removeTemporaries();
        throw;
    }
}

VideoFile::~VideoFile()
{
    if (encoder > 0)
        endEncoder();
    if (sound)
        std::fclose(sound);
    removeTemporaries();
}

void VideoFile::startEncoder()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::string("cannot make a pipe: ") + std::strerror(errno);
    try {
        encoder = startFfmpeg(encoderArguments, ends[0], logPath);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
    ::close(ends[0]);
    framePipe = ends[1];
    isEncoderEnded = false;
    isStoppedBySignal = false;
    // A frame is over a megabyte: a pipe that holds one whole takes it in one write instead of
    // sixteen turns of 64 KiB between the two processes. Where the system refuses, the
    // default works as well, only slower.
    ::fcntl(framePipe, F_SETPIPE_SZ, 1 << 20);
}

void VideoFile::removeTemporaries() const
{
    std::error_code ignored;
    for (const auto& path : {videoPath, soundPath, joinedPath, logPath})
        fs::remove(path, ignored);
}

bool VideoFile::hasEncoderEnded()
{
    if (!isEncoderEnded) {
        int status = 0;
        if (waitpid(encoder, &status, WNOHANG) != encoder)
            return false;
        encoderStatus = status;
        isEncoderEnded = true;
    }
    isStoppedBySignal = isCutShort(encoderStatus);
    return true;
}

int VideoFile::endEncoder()
{
    if (framePipe >= 0)
        ::close(framePipe);
    framePipe = -1;
    if (!isEncoderEnded) {
        encoderStatus = waitFor(encoder);
        isEncoderEnded = true;
    }
    isStoppedBySignal = isCutShort(encoderStatus);
    return encoderStatus;
}

std::string VideoFile::encoderReason() const
{
    std::ifstream log(logPath);
    std::string line, last;
    while (std::getline(log, line))
        if (!line.empty())
            last = line;
    return last.empty() ? "ffmpeg failed" : "ffmpeg: " + last;
}

bool VideoFile::writeFrame(const uint32_t* pixels)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pixels);
    size_t size = frameBytes;
    while (size > 0) {
        ssize_t written = ::write(framePipe, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            endEncoder();
            return false;
        }
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

bool VideoFile::addFrame(const std::vector<uint32_t>& pixels)
{
    if (pixels.size() * 4 != frameBytes)
        throw std::string("the video encoder has stopped");
    if (firstFrames.size() < firstFramesKept)
        firstFrames.push_back(pixels);
    ++framesGiven;
    // Checked before each frame, so that a signal to the encoder alone stops capture at once.
    if (hasEncoderEnded() || !writeFrame(pixels.data())) {
        if (isStoppedBySignal)
            return false;
        throw encoderReason();
    }
    return true;
}

void VideoFile::addSound(std::span<const uint8_t> pcm)
{
    if (std::fwrite(pcm.data(), 1, pcm.size(), sound) != pcm.size())
        throw "cannot write " + target.string() + ": " + std::strerror(errno);
}

uint64_t VideoFile::finish()
{
    HeldStopSignals held;
    uint64_t frames = framesGiven;
    if (isCutShort(endEncoder())) {
        // The encoder's file ends where the signal found it, which may be a frame or two
        // before what capture sent; the file itself says how many it holds.
        std::string count;
        int status = runFinishingStep(held, [&] {
            return runForOutput({"ffprobe", "-v", "error", "-select_streams", "v:0",
                "-show_entries", "stream=nb_frames", "-of", "default=noprint_wrappers=1:nokey=1",
                videoPath.string()}, count, logPath);
        });
        frames = exitedWell(status)
            ? std::min<uint64_t>(std::strtoull(count.c_str(), nullptr, 10), framesGiven)
            : 0;
        // A signal while ffmpeg was starting ended it before it had written anything; all it
        // was sent is still here, and a new encoder makes the video of it.
        if (frames == 0 && framesGiven > 0 && framesGiven <= firstFrames.size()) {
            status = runFinishingStep(held, [&] {
                startEncoder();
                uint64_t sent = 0;
                while (sent < framesGiven && writeFrame(firstFrames[sent].data()))
                    ++sent;
                return endEncoder();
            });
            if (!exitedWell(status))
                throw encoderReason();
            frames = framesGiven;
        }
        if (frames == 0)
            throw std::string("stopped before the first frame was encoded; no video was written");
    } else if (!exitedWell(encoderStatus)) {
        throw encoderReason();
    }

    // The sound of exactly those frames, as capture reckons each frame's end.
    bool isSoundKept = std::fclose(sound) == 0;
    sound = nullptr;
    uint64_t soundBytes = frames * audioSampleRate / uint64_t(framesPerSecond)
        * audioBytesPerFrame;
    std::error_code error;
    if (isSoundKept && fs::file_size(soundPath, error) > soundBytes && !error)
        fs::resize_file(soundPath, soundBytes, error);
    if (!isSoundKept || error)
        throw "cannot write " + target.string() + ": "
            + (error ? error.message() : std::strerror(errno));

    int status = runFinishingStep(held, [&] {
        return waitFor(startFfmpeg({"-i", videoPath.string(), "-f", "s16le", "-ar",
            std::to_string(audioSampleRate), "-ac", std::to_string(audioChannelCount), "-i",
            soundPath.string(), "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac",
            "-b:a", "192k", "-movflags", "+faststart", joinedPath.string()}, -1, logPath));
    });
    if (!exitedWell(status))
        throw encoderReason();
    try {
        replaceWithWritten(joinedPath.string(), target.string());
    } catch (const std::runtime_error& error) {
        throw std::string(error.what());
    }
    return frames;
}

} // namespace tincrates

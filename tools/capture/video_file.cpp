// Running ffmpeg: one process that encodes the frames it reads from a pipe and one that
// encodes the sound, side by side with the rendering, then one that joins the two streams
// and puts the index at the front of the file, so that it plays as it loads.
#include "tools/capture/video_file.h"

#include "datafiles/replacing_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tincrates {

namespace {

namespace fs = std::filesystem;

// Starts ffmpeg with `arguments`, its standard input from `input` (or /dev/null when -1) and
// its messages added to `log`. Returns the process, or throws.
pid_t startFfmpeg(const std::vector<std::string>& arguments, int input, const fs::path& log)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    std::vector<char*> argv;
    std::vector<std::string> all = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    for (auto& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t process = -1;
    int error = posix_spawnp(&process, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error == ENOENT)
        throw std::string("ffmpeg is needed to write video and was not found "
                          "(it is the Debian package ffmpeg)");
    if (error != 0)
        throw std::string("cannot start ffmpeg: ") + std::strerror(error);
    return process;
}

// Waits for the process; true when it ended with exit code 0.
bool succeeded(pid_t process)
{
    int status = 0;
    while (waitpid(process, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

fs::path besideTarget(const fs::path& target, const std::string& suffix)
{
    return target.parent_path() / ("." + target.filename().string() + suffix);
}

} // namespace

VideoFile::VideoFile(fs::path target, uint32_t width, uint32_t height, int framesPerSecond)
    : target(std::move(target))
    , videoPath(besideTarget(this->target, ".video.mp4"))
    , soundPath(besideTarget(this->target, ".sound.m4a"))
    , joinedPath(besideTarget(this->target, ".part.mp4"))
    , logPath(besideTarget(this->target, ".ffmpeg.log"))
    , frameBytes(size_t(width) * height * 4)
{
    // A stopped encoder must show as a failed write, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    removeTemporaries(); // the log of an earlier run that was cut short
    try {
        std::string size = std::to_string(width) + "x" + std::to_string(height);
        std::string rate = std::to_string(framesPerSecond);
        // x264's fastest preset: at this quality (crf 18) its files are about 1.6 times those
        // of "veryfast", for a third of the encoder's time, which the renderer needs more. A
        // frame larger than 640 × 480 is slower to draw, so the encoder can take more time
        // over it: "veryfast" halves a 1080-line video (26 to 14 Mbit/s), which would
        // otherwise be too large to share, and the whole production still takes less than
        // three times its music on two cores.
        const char* preset = size_t(width) * height > 640u * 480u ? "veryfast" : "ultrafast";
        frames = startEncoder({"-f", "rawvideo", "-pixel_format", "bgra", "-video_size", size,
            "-framerate", rate, "-i", "pipe:0", "-c:v", "libx264", "-preset", preset,
            "-crf", "18", "-pix_fmt", "yuv420p", "-g", std::to_string(framesPerSecond * 2),
            videoPath.string()});
        sound = startEncoder({"-f", "s16le", "-ar", "44100", "-ac", "2", "-i", "pipe:0", "-c:a",
            "aac", "-b:a", "192k", soundPath.string()});
    } catch (...) {
        stopEncoders();
        removeTemporaries();
        throw;
    }
}

VideoFile::~VideoFile()
{
    stopEncoders();
    removeTemporaries();
}

VideoFile::Encoder VideoFile::startEncoder(const std::vector<std::string>& arguments)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::string("cannot make a pipe: ") + std::strerror(errno);
    Encoder encoder;
    try {
        encoder.process = startFfmpeg(arguments, ends[0], logPath);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
    ::close(ends[0]);
    encoder.pipe = ends[1];
    // A frame is over a megabyte: a pipe that holds one whole takes it in one write instead of
    // sixteen turns of 64 KiB between the two processes. Where the system refuses, the
    // default works as well, only slower.
    ::fcntl(encoder.pipe, F_SETPIPE_SZ, 1 << 20);
    return encoder;
}

void VideoFile::removeTemporaries() const
{
    std::error_code ignored;
    for (const auto& path : {videoPath, soundPath, joinedPath, logPath})
        fs::remove(path, ignored);
}

bool VideoFile::stopEncoders()
{
    for (Encoder* encoder : {&frames, &sound}) {
        if (encoder->pipe >= 0)
            ::close(encoder->pipe);
        encoder->pipe = -1;
    }
    bool isEncoded = true;
    for (Encoder* encoder : {&frames, &sound}) {
        isEncoded = encoder->process > 0 && succeeded(encoder->process) && isEncoded;
        encoder->process = -1;
    }
    return isEncoded;
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

void VideoFile::write(Encoder& encoder, const uint8_t* bytes, size_t size)
{
    if (encoder.pipe < 0)
        throw std::string("the video encoder has stopped");
    while (size > 0) {
        ssize_t written = ::write(encoder.pipe, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            stopEncoders();
            throw encoderReason();
        }
        bytes += written;
        size -= size_t(written);
    }
}

void VideoFile::addFrame(const std::vector<uint32_t>& pixels)
{
    if (pixels.size() * 4 != frameBytes)
        throw std::string("the video encoder has stopped");
    write(frames, reinterpret_cast<const uint8_t*>(pixels.data()), frameBytes);
}

void VideoFile::addSound(std::span<const uint8_t> pcm) { write(sound, pcm.data(), pcm.size()); }

void VideoFile::finish()
{
    if (!stopEncoders())
        throw encoderReason();
    pid_t join = startFfmpeg({"-i", videoPath.string(), "-i", soundPath.string(), "-map", "0:v",
                              "-map", "1:a", "-c", "copy", "-movflags", "+faststart",
                              joinedPath.string()},
                             -1, logPath);
    if (!succeeded(join))
        throw encoderReason();
    try {
        replaceWithWritten(joinedPath.string(), target.string());
    } catch (const std::runtime_error& error) {
        throw std::string(error.what());
    }
}

} // namespace tincrates

// Running ffmpeg: one process that encodes the frames it reads from a pipe, then one that
// adds the sound and puts the index at the front of the file, so that it plays as it loads.
#include "tools/capture/video_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tincrates {

namespace {

namespace fs = std::filesystem;

// Starts ffmpeg with `arguments`, its standard input from `input` (or /dev/null when -1) and
// its messages into `log`. Returns the process, or throws.
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
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    , soundPath(besideTarget(this->target, ".sound.wav"))
    , joinedPath(besideTarget(this->target, ".part.mp4"))
    , logPath(besideTarget(this->target, ".ffmpeg.log"))
    , frameBytes(size_t(width) * height * 4)
{
    // A stopped encoder must show as a failed write, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::string("cannot make a pipe: ") + std::strerror(errno);
    try {
        sound = std::make_unique<WavWriter>(soundPath.string());
        std::string size = std::to_string(width) + "x" + std::to_string(height);
        std::string rate = std::to_string(framesPerSecond);
        encoder = startFfmpeg({"-f", "rawvideo", "-pixel_format", "bgra", "-video_size", size,
                               "-framerate", rate, "-i", "pipe:0", "-c:v", "libx264",
                               "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
                               "-g", std::to_string(framesPerSecond * 2), videoPath.string()},
                              ends[0], logPath);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        sound.reset();
        removeTemporaries();
        throw;
    }
    ::close(ends[0]);
    pipe = ends[1];
}

VideoFile::~VideoFile()
{
    stopEncoder();
    sound.reset();
    removeTemporaries();
}

void VideoFile::removeTemporaries() const
{
    std::error_code ignored;
    for (const auto& path : {videoPath, soundPath, joinedPath, logPath})
        fs::remove(path, ignored);
}

void VideoFile::stopEncoder()
{
    if (pipe >= 0) {
        ::close(pipe);
        pipe = -1;
    }
    if (encoder > 0) {
        succeeded(encoder);
        encoder = -1;
    }
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

void VideoFile::addFrame(const std::vector<uint32_t>& pixels)
{
    if (pipe < 0 || pixels.size() * 4 != frameBytes)
        throw std::string("the video encoder has stopped");
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
    size_t left = frameBytes;
    while (left > 0) {
        ssize_t written = ::write(pipe, bytes, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            stopEncoder();
            throw encoderReason();
        }
        bytes += written;
        left -= size_t(written);
    }
}

void VideoFile::addSound(std::span<const uint8_t> pcm) { sound->append(pcm); }

void VideoFile::finish()
{
    ::close(pipe);
    pipe = -1;
    pid_t frames = encoder;
    encoder = -1;
    if (!succeeded(frames))
        throw encoderReason();
    sound->finish();
    pid_t join = startFfmpeg({"-i", videoPath.string(), "-i", soundPath.string(), "-map", "0:v",
                              "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                              "-movflags", "+faststart", joinedPath.string()},
                             -1, logPath);
    if (!succeeded(join))
        throw encoderReason();
    std::error_code error;
    fs::rename(joinedPath, target, error);
    if (error)
        throw "cannot write " + target.string() + ": " + error.message();
}

} // namespace tincrates

// `stash create`: packs files into a RAR 2.x archive.
#include "tools/stash/stash_create.h"

#include "datafiles/archive_writer.h"
#include "tools/progress/progress_meter.h"
#include "tools/stash/password_option.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tincrates::stash {

namespace {

namespace fs = std::filesystem;

const char* const help =
    "Usage: stash create ARCHIVE [OPTION]... FILE...\n"
    "\n"
    "Packs files (folders with everything in them) into a new RAR 2.x archive.\n"
    "\n"
    "  -m0       store only\n"
    "  -m1..-m5  compress, from fastest to smallest (default -m3)\n"
    "  -s        solid: members share one compression stream\n"
    "  -p PASS   encrypt every member with PASS (also written -pPASS)\n"
    "  -C DIR    take files relative to DIR; member names are those relative paths\n";

struct Member {
    fs::path file; // where to read it
    std::string name;
    uint64_t size;
};

// The member name of `relative`: its parts joined with "\", without "." parts. Throws for
// a path that climbs out of the base folder.
std::string memberName(const fs::path& relative)
{
    std::string name;
    for (const fs::path& part : relative.lexically_normal()) {
        std::string text = part.string();
        if (text.empty() || text == "." || text == "/")
            continue;
        if (text == "..")
            throw std::runtime_error(relative.string() + " lies outside the base folder");
        if (!name.empty())
            name += '\\';
        name += text;
    }
    return name;
}

// The regular files named by `input`, folders taken whole in name order.
void collectMembers(const CreateArguments& options, const std::string& input,
                    std::vector<Member>& members)
{
    fs::path relative(input);
    fs::path full = options.baseDirectory.empty() ? relative : options.baseDirectory / relative;
    std::error_code error;
    fs::file_status status = fs::status(full, error);
    if (error || !fs::exists(status))
        throw std::runtime_error("cannot open " + full.string() + ": "
                                 + (error ? error.message() : "No such file or directory"));
    if (fs::is_directory(status)) {
        std::vector<fs::path> found;
        for (auto it = fs::recursive_directory_iterator(full, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            // Only regular files are packed; dangling links, FIFOs and sockets are passed by
            // in silence. A link that cannot be followed at all (one that names itself) is
            // passed by too, but said, since it may be a mistake.
            std::error_code statusError;
            if (it->is_regular_file(statusError))
                found.push_back(it->path());
            else if (statusError && statusError != std::errc::no_such_file_or_directory)
                std::fprintf(stderr, "stash: skipping %s: %s\n",
                             it->path().lexically_normal().c_str(),
                             statusError.message().c_str());
        }
        if (error)
            throw std::runtime_error("cannot read folder " + full.string() + ": "
                                     + error.message());
        std::sort(found.begin(), found.end());
        for (const fs::path& path : found) {
            fs::path inner = relative / path.lexically_relative(full);
            members.push_back({path, memberName(inner), uint64_t(fs::file_size(path))});
        }
        return;
    }
    if (!fs::is_regular_file(status))
        throw std::runtime_error(full.string() + " is not a regular file");
    std::string name = memberName(relative);
    if (name.empty())
        throw std::runtime_error("no member name for " + input);
    members.push_back({full, name, uint64_t(fs::file_size(full))});
}

std::vector<uint8_t> readWhole(const fs::path& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file)
        throw std::runtime_error("cannot open " + path.string() + ": " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    if (std::ferror(file.get()))
        throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
    return bytes;
}

void writeMembers(ArchiveWriter& writer, const std::vector<Member>& members, uint64_t total);

// Packs the archive. It is written beside its place and put there only when whole, so a
// failure leaves an archive that was there before as it was.
void createArchive(const CreateArguments& options)
{
    std::vector<Member> members;
    for (const std::string& input : options.inputs)
        collectMembers(options, input, members);
    // A file named twice (say, by itself and by its folder) goes in once.
    std::set<std::string> seen;
    std::erase_if(members, [&](const Member& member) { return !seen.insert(member.name).second; });
    // The archive never packs itself, as `stash create pack.rar .` run twice would.
    std::error_code ignored;
    std::erase_if(members, [&](const Member& member) {
        return fs::equivalent(member.file, options.archive, ignored);
    });
    if (members.empty())
        throw std::runtime_error("no files to pack");
    // Checked before anything is read: the format counts sizes in 32 bits.
    for (const Member& member : members) {
        if (member.size > 0xFFFFFFF0u)
            throw std::runtime_error(member.file.string()
                                     + " is larger than 4 GiB, the format's limit");
    }
    uint64_t total = 0;
    for (const Member& member : members)
        total += member.size;

    ArchiveWriter writer(options.archive, options.settings);
    writeMembers(writer, members, total);
}

void writeMembers(ArchiveWriter& writer, const std::vector<Member>& members, uint64_t total)
{
    ProgressMeter progress("stash: packing", total, "MiB", 1048576.0);
    uint64_t done = 0;
    for (const Member& member : members) {
        std::vector<uint8_t> content = readWhole(member.file);
        struct stat info{};
        std::time_t modified = ::stat(member.file.c_str(), &info) == 0 ? info.st_mtime
                                                                       : std::time(nullptr);
        writer.addMember(member.name, content, dosTime(modified),
                         [&](size_t bytes) { progress.update(done + bytes); });
        done += content.size();
        progress.update(done);
    }
    writer.finish();
}

} // namespace

CLI::App& addCreateCommand(CommandLine& commandLine, CreateArguments& arguments)
{
    CLI::App& command = commandLine.addCommand("create", help);
    const char* missing = "expected an archive and the files to pack into it";
    commandLine.setMissingMessage(
        command.add_option("ARCHIVE", arguments.archive)->required(), missing);
    commandLine.setMissingMessage(
        command.add_option("FILE", arguments.inputs)->required(), missing);
    command.add_option("-m", arguments.settings.level)->check(CLI::Range(0, 5));
    command.add_flag("-s", arguments.settings.isSolid);
    addPasswordOption(command, arguments.settings.password);
    command.add_option("-C", arguments.baseDirectory)->check(CLI::ExistingDirectory);
    return command;
}

int runCreate(const CreateArguments& arguments)
{
    try {
        createArchive(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stash: %s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace tincrates::stash

// `stash list`, `stash extract` and `stash test`.
#include "tools/stash/stash_read.h"

#include "datafiles/archive_reader.h"
#include "datafiles/replacing_file.h"
#include "tools/stash/extraction_folder.h"
#include "tools/stash/password_option.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tincrates::stash {

namespace {

constexpr const char* listUsage =
    "Usage: stash list ARCHIVE\n"
    "\n"
    "Lists every file header of ARCHIVE, one per line: name, unpacked size, packed size,\n"
    "unpack version, method, flags (encrypted, solid, directory) and CRC-32.\n";

constexpr const char* extractUsage =
    "Usage: stash extract ARCHIVE NAME [-p PASSWORD] [-o FILE]\n"
    "  or:  stash extract ARCHIVE [-p PASSWORD] [-o FOLDER]\n"
    "\n"
    "Extracts the first member whose name matches NAME (case and \"/\" or \"\\\" do not\n"
    "matter) to FILE, or to standard output (also for -o -). Without NAME, extracts every\n"
    "member into FOLDER (default: the current folder), made when missing; a member whose\n"
    "name would lead outside it (\"..\", an absolute name, a drive letter) is refused with a\n"
    "message, as is one that would replace the archive. Files are written whole or not at\n"
    "all; standard output gets the member as it is decoded, so after a failure it may hold\n"
    "part of it. -p PASSWORD may also be written -pPASSWORD. Exit code 0 on success, 1 on\n"
    "any error.\n";

constexpr const char* testUsage =
    "Usage: stash test ARCHIVE [-p PASSWORD]\n"
    "\n"
    "Extracts every member in memory and checks its CRC-32; prints OK or FAILED with the\n"
    "reason for each. -p PASSWORD may also be written -pPASSWORD. Exit code 1 if any member\n"
    "failed.\n";

// The password for the archive reader: null for none.
const char* passwordOf(const ReadArguments& arguments)
{
    return arguments.password.empty() ? nullptr : arguments.password.c_str();
}

std::string versionText(uint8_t unpackVersion)
{
    return std::to_string(unpackVersion / 10) + "." + std::to_string(unpackVersion % 10);
}

std::string methodText(uint8_t method)
{
    if (method == 0x30)
        return "stored";
    if (method >= 0x31 && method <= 0x35)
        return "m" + std::to_string(method - 0x30);
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", method);
    return text;
}

std::string flagsText(const ArchiveEntry& entry)
{
    std::string text;
    auto add = [&](const char* word) { text += text.empty() ? word : std::string(",") + word; };
    if (entry.isEncrypted())
        add("encrypted");
    if (entry.isSolid())
        add("solid");
    if (entry.isDirectory())
        add("directory");
    return text.empty() ? "-" : text;
}

// The reason a walk of `archive` stopped with `error`, with the place of a damaged header.
std::string walkProblem(const char* archive, ArchiveError error)
{
    uint64_t stoppedAt = 0;
    if (error == ArchiveError::damagedHeader) {
        std::vector<ArchiveEntry> entries;
        listArchiveMembers(archive, entries, &stoppedAt);
    }
    return describeArchiveError(error, stoppedAt);
}

// The name to show: the Unicode form where the archive has one. Control characters become
// "?", so that a damaged or hostile name cannot break lines or steer the terminal.
std::string shownName(const ArchiveEntry& entry)
{
    std::string name = entry.unicodeName.empty() ? entry.name : entry.unicodeName;
    for (char& c : name)
        if (uint8_t(c) < 0x20 || c == 0x7F)
            c = '?';
    return name;
}

// Extracts the member `name`, found as the production's lookup finds it, and streams it to
// `write`; a name given in the Unicode form that some archives store beside the plain one is
// looked up by its place in the archive, since plain forms of such names ("????.txt") need
// not be unique.
ArchiveError extractNamed(const char* archive, const char* name, const char* password,
                          const MemberWriter& write)
{
    ArchiveError result = streamArchiveMember(
        archive, [&](const ArchiveEntry& entry) { return namesMatch(name, entry.name.c_str()); },
        password, write);
    if (result != ArchiveError::noSuchMember)
        return result;
    std::vector<ArchiveEntry> entries;
    listArchiveMembers(archive, entries);
    size_t wanted = 0;
    while (wanted < entries.size() && !namesMatch(entries[wanted].unicodeName.c_str(), name))
        ++wanted;
    if (wanted == entries.size() || entries[wanted].unicodeName.empty())
        return result;
    size_t index = 0;
    return streamArchiveMember(
        archive, [&](const ArchiveEntry&) { return index++ == wanted; }, password, write);
}

// `stash extract ARCHIVE [-o FOLDER]`: every member into the folder, each refused or failed
// member said in one line, and the whole run failed if any was.
int extractEveryMember(const char* archive, const char* password, const char* folderName)
{
    std::unique_ptr<ExtractionFolder> folder;
    try {
        folder = std::make_unique<ExtractionFolder>(folderName ? folderName : ".", archive);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stash: %s\n", error.what());
        return 1;
    }
    size_t visited = 0;
    size_t failed = 0;
    ArchiveError walked = extractAllMembers(
        archive, password,
        [&](const ArchiveEntry& entry, ArchiveError result, const uint8_t* data,
            uint64_t size) {
            ++visited;
            std::string problem;
            std::vector<std::string> parts = safeMemberPath(
                entry.unicodeName.empty() ? entry.name : entry.unicodeName, problem);
            if (problem.empty() && result != ArchiveError::ok)
                problem = describeArchiveError(result);
            if (problem.empty())
                problem = folder->write(parts, {data, size_t(size)}, entry.isDirectory());
            if (!problem.empty()) {
                ++failed;
                std::fprintf(stderr, "stash: %s: %s: %s\n", archive, shownName(entry).c_str(),
                             problem.c_str());
            }
            return true;
        });
    if (walked != ArchiveError::ok) {
        std::fprintf(stderr, "stash: %s: %s\n", archive, walkProblem(archive, walked).c_str());
        return 1;
    }
    if (failed > 0) {
        std::fprintf(stderr, "stash: %s: %zu of %zu members not extracted\n", archive, failed,
                     visited);
        return 1;
    }
    return 0;
}

// The operand every reading command takes, and what it says when left out.
void addArchiveOperand(CommandLine& commandLine, CLI::App& command, ReadArguments& arguments,
                       const char* missingMessage)
{
    commandLine.setMissingMessage(command.add_option("ARCHIVE", arguments.archive)->required(),
                                  missingMessage);
}

} // namespace

CLI::App& addListCommand(CommandLine& commandLine, ReadArguments& arguments)
{
    CLI::App& command = commandLine.addCommand("list", listUsage);
    addArchiveOperand(commandLine, command, arguments, "expected one archive");
    return command;
}

CLI::App& addExtractCommand(CommandLine& commandLine, ReadArguments& arguments)
{
    CLI::App& command = commandLine.addCommand("extract", extractUsage);
    addArchiveOperand(commandLine, command, arguments,
                      "expected an archive and, optionally, a member name");
    command.add_option_function<std::string>(
        "NAME", [&arguments](const std::string& name) { arguments.memberName = name; });
    addPasswordOption(command, arguments.password);
    command.add_option_function<std::string>(
        "-o", [&arguments](const std::string& output) { arguments.output = output; });
    return command;
}

CLI::App& addTestCommand(CommandLine& commandLine, ReadArguments& arguments)
{
    CLI::App& command = commandLine.addCommand("test", testUsage);
    addArchiveOperand(commandLine, command, arguments, "expected one archive");
    addPasswordOption(command, arguments.password);
    return command;
}

int runList(const ReadArguments& arguments)
{
    const char* archive = arguments.archive.c_str();
    std::vector<ArchiveEntry> entries;
    uint64_t stoppedAt = 0;
    ArchiveError result = listArchiveMembers(archive, entries, &stoppedAt);
    size_t nameWidth = 4;
    auto columns = [](const std::string& text) {
        // UTF-8 continuation bytes take no column of their own.
        return size_t(std::count_if(text.begin(), text.end(),
                                    [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
    };
    for (const auto& entry : entries)
        nameWidth = std::max(nameWidth, columns(shownName(entry)));
    for (const auto& entry : entries)
        std::printf("%s%*s  %10u  %10u  %s  %-6s  %-15s  %08x\n", shownName(entry).c_str(),
                    int(nameWidth - columns(shownName(entry))), "", entry.unpSize, entry.packSize,
                    versionText(entry.unpVer).c_str(), methodText(entry.method).c_str(),
                    flagsText(entry).c_str(), entry.fileCrc);
    if (result != ArchiveError::ok) {
        std::fflush(stdout);
        std::fprintf(stderr, "stash: %s: %s\n", archive,
                     describeArchiveError(result, stoppedAt).c_str());
        return 1;
    }
    return 0;
}

int runExtract(const ReadArguments& arguments)
{
    const char* archive = arguments.archive.c_str();
    const char* password = passwordOf(arguments);
    const char* outputFile = arguments.output ? arguments.output->c_str() : nullptr;
    if (!arguments.memberName)
        return extractEveryMember(archive, password, outputFile);

    const char* name = arguments.memberName->c_str();
    bool toStandardOutput = !outputFile || std::strcmp(outputFile, "-") == 0;
    std::error_code ignored;
    if (!toStandardOutput && std::filesystem::equivalent(outputFile, archive, ignored)) {
        std::fprintf(stderr, "stash: cannot write %s: it is the archive being read\n",
                     outputFile);
        return 1;
    }
    // The member goes out as it is decoded. A file is written beside its place, made at the
    // first bytes, and renamed into place only once the member has passed its check, so a
    // failure leaves no half file and an old file of that name as it was.
    std::unique_ptr<ReplacingFile> file;
    std::string writeProblem;
    MemberWriter write = [&](const uint8_t* data, size_t size) {
        if (toStandardOutput)
            return std::fwrite(data, 1, size, stdout) == size;
        try {
            if (!file)
                file = std::make_unique<ReplacingFile>(outputFile);
        } catch (const std::exception& error) {
            writeProblem = error.what();
            return false;
        }
        if (std::fwrite(data, 1, size, file->stream()) == size)
            return true;
        writeProblem = std::string("cannot write ") + outputFile + ": " + std::strerror(errno);
        return false;
    };
    ArchiveError result = extractNamed(archive, name, password, write);
    if (result == ArchiveError::writeFailed && !toStandardOutput) {
        std::fprintf(stderr, "stash: %s\n", writeProblem.c_str());
        return 1;
    }
    if (result == ArchiveError::writeFailed) {
        std::fprintf(stderr, "stash: cannot write to standard output\n");
        return 1;
    }
    if (result != ArchiveError::ok) {
        std::fprintf(stderr, "stash: %s: %s: %s\n", archive, name,
                     walkProblem(archive, result).c_str());
        return 1;
    }

    if (toStandardOutput) {
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "stash: cannot write to standard output\n");
            return 1;
        }
        return 0;
    }
    try {
        // An empty member never called the writer.
        if (!file)
            file = std::make_unique<ReplacingFile>(outputFile);
        file->commit();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "stash: %s\n", error.what());
        return 1;
    }
    return 0;
}

int runTest(const ReadArguments& arguments)
{
    const char* archive = arguments.archive.c_str();
    std::vector<ArchiveEntry> entries;
    uint64_t stoppedAt = 0;
    ArchiveError listed = listArchiveMembers(archive, entries, &stoppedAt);
    if (entries.empty() && listed != ArchiveError::ok) {
        std::fprintf(stderr, "stash: %s: %s\n", archive,
                     describeArchiveError(listed, stoppedAt).c_str());
        return 1;
    }

    size_t visited = 0;
    size_t failed = 0;
    ArchiveError walked = extractAllMembers(
        archive, passwordOf(arguments),
        [&](const ArchiveEntry& entry, ArchiveError result, const uint8_t*, uint64_t) {
            ++visited;
            if (result == ArchiveError::ok) {
                std::printf("OK      %s%s\n", shownName(entry).c_str(),
                            entry.isDirectory() ? " (directory)" : "");
            } else {
                ++failed;
                std::printf("FAILED  %s: %s\n", shownName(entry).c_str(),
                            describeArchiveError(result).c_str());
            }
            return true;
        });
    // Members the extraction walk could not reach (it stops where the production's lookup
    // would) are failures too.
    for (size_t i = visited; i < entries.size(); ++i) {
        ++failed;
        std::printf("FAILED  %s: not reached: %s\n", shownName(entries[i]).c_str(),
                    describeArchiveError(walked).c_str());
    }
    if (listed != ArchiveError::ok) {
        ++failed;
        std::printf("FAILED  (archive): %s\n", describeArchiveError(listed, stoppedAt).c_str());
    }
    std::fflush(stdout);
    if (failed > 0) {
        std::fprintf(stderr, "stash: %s: %zu of %zu members failed\n", archive, failed,
                     entries.size());
        return 1;
    }
    return 0;
}

} // namespace tincrates::stash

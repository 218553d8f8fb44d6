// A program's command line, read by CLI11: --help prints the program's own help text, --version
// the project's version, and every error in the command line is one line of one shape.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace tincrates {

// The exit code after an error in the command line. It is the one every other failure ends
// with too: the message says which it was, and stash's help has always promised 1 for any error.
constexpr int usageErrorExitCode = 1;

// A command line the program cannot run, found while reading an option's value (thrown from
// the option's callback) or by the program's own checks; what() is the message, such as
// "-r takes a whole number from 1 to 240".
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The line a usage error is reported in, on standard error: "WHO: MESSAGE (see WHO --help)",
// where WHO is the program ("capture") or the program and its command ("stash extract").
std::string usageErrorLine(const std::string& who, const std::string& message);

// Owns the CLI11 app of one program. The program adds its options and commands to `app()` and
// to the apps `addCommand` returns, then calls `parse`.
class CommandLine {
public:
    // `program` names the program in messages and in --version; `help` is what --help prints.
    CommandLine(std::string program, std::string help);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    CLI::App& app() { return *root; }

    // Adds a command, as "list" in "stash list", with its own help text, --help and --version.
    // A command line names at most one command. The app is the command line's.
    CLI::App& addCommand(const std::string& name, std::string help);

    // The message when `option` is given without its value, or when it is required and left
    // out, instead of "OPTION needs a value" or "NAME is required".
    void setMissingMessage(const CLI::Option* option, std::string message);

    // Reads the command line. Returns the exit code to end with now: 0 after printing the help
    // or the version on standard output, usageErrorExitCode after reporting an error on standard
    // error. Returns nothing when the program is to go on and run.
    std::optional<int> parse(int argc, char** argv);

    // Reports a usage error that the program's own checks found after `parse`, for the command
    // given (the program when none was); returns usageErrorExitCode.
    int fail(const std::string& message) const;

    // The command given, or null.
    const CLI::App* command() const;

private:
    // The program, or the program and the command given, as messages name them.
    std::string who() const;
    // The message for one of CLI11's errors, in this program's words.
    std::string messageFor(const CLI::ParseError& error) const;
    const CLI::Option* findOption(const std::string& name) const;
    // Reports the first argument that nothing took, if there is one, and says whether it did:
    // an unknown option is told before what its absence or misspelling led to.
    bool reportUnexpectedArgument() const;

    std::string program;
    std::unique_ptr<CLI::App> root;
    std::map<const CLI::Option*, std::string> missingMessages;
};

} // namespace tincrates

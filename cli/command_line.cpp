// A program's command line through CLI11.
#include "cli/command_line.h"

#include "project_version.h"

#include <cstdio>
#include <utility>

namespace tincrates {

namespace {

// Prints the program's own help text as it is: the manual pages are made from it (help2man),
// so its wording and layout are the program's, not the library's.
class FixedHelp final : public CLI::FormatterBase {
public:
    explicit FixedHelp(std::string text)
        : text(std::move(text))
    {
    }
    std::string make_help(const CLI::App*, std::string, CLI::AppFormatMode) const override
    {
        return text;
    }

private:
    std::string text;
};

// What every app of a command line shares: its help text, -h and --help, --version, and the
// last value of an option given twice winning, as it always has.
void configure(CLI::App& app, std::string help)
{
    app.formatter(std::make_shared<FixedHelp>(std::move(help)));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", "");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

bool hasCommands(const CLI::App& app)
{
    return !app.get_subcommands([](const CLI::App*) { return true; }).empty();
}

// The message for an argument that no option, command or operand of `app` takes.
std::string unexpectedArgumentMessage(const CLI::App& app, const std::string& argument)
{
    if (argument.size() > 1 && argument[0] == '-')
        return "unknown option " + argument;
    if (hasCommands(app))
        return "unknown command " + argument;
    return "unexpected argument " + argument;
}

} // namespace

std::string usageErrorLine(const std::string& who, const std::string& message)
{
    return who + ": " + message + " (see " + who + " --help)\n";
}

CommandLine::CommandLine(std::string program, std::string help)
    : program(std::move(program))
    , root(std::make_unique<CLI::App>("", this->program))
{
    configure(*root, std::move(help));
}

CLI::App& CommandLine::addCommand(const std::string& name, std::string help)
{
    root->require_subcommand(0, 1);
    CLI::App& command = *root->add_subcommand(name);
    configure(command, std::move(help));
    return command;
}

void CommandLine::setMissingMessage(const CLI::Option* option, std::string message)
{
    missingMessages[option] = std::move(message);
}

const CLI::App* CommandLine::command() const
{
    std::vector<CLI::App*> given = root->get_subcommands();
    return given.empty() ? nullptr : given.front();
}

std::string CommandLine::who() const
{
    const CLI::App* given = command();
    return given ? program + " " + given->get_name() : program;
}

const CLI::Option* CommandLine::findOption(const std::string& name) const
{
    for (const CLI::App* app : {command(), static_cast<const CLI::App*>(root.get())}) {
        if (!app)
            continue;
        for (const CLI::Option* option : app->get_options()) {
            if (option->get_name() == name || option->check_name(name))
                return option;
        }
    }
    return nullptr;
}

// CLI11 names the option of these errors only in their text, so the text is read here, in one
// place; tests/cli pins each rewording, so a CLI11 that words them otherwise is noticed.
std::string CommandLine::messageFor(const CLI::ParseError& error) const
{
    std::string text = error.what();
    auto custom = [this](const CLI::Option* option, std::string standard) {
        auto found = missingMessages.find(option);
        return found == missingMessages.end() ? standard : found->second;
    };
    // "NAME is required": a required option or operand left out.
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        const std::string suffix = " is required";
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            std::string name = text.substr(0, text.size() - suffix.size());
            if (const CLI::Option* option = findOption(name))
                return custom(option, text);
        }
        return text;
    }
    // "--sync-editor requires --maker": an option given without one it only works with.
    if (dynamic_cast<const CLI::RequiresError*>(&error)) {
        size_t at = text.find(" requires ");
        return at == std::string::npos ? text : text.replace(at, 10, " needs ");
    }
    // "NAME: 1 required TYPE missing" and the like: an option without (all) its values.
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        size_t colon = text.find(": ");
        const CLI::Option* option = colon == std::string::npos ? nullptr
                                                               : findOption(text.substr(0, colon));
        if (option && (text.ends_with(" missing") || text.find(": At least ") == colon))
            return custom(option, option->get_name() + " needs a value");
        return text;
    }
    return text;
}

std::optional<int> CommandLine::parse(int argc, char** argv)
{
    try {
        root->parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        // The help of the command given, or the program's.
        std::fputs(root->help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion&) {
        printVersion(program.c_str());
        return 0;
    } catch (const CLI::ParseError& error) {
        return reportUnexpectedArgument() ? usageErrorExitCode : fail(messageFor(error));
    } catch (const UsageError& error) {
        return reportUnexpectedArgument() ? usageErrorExitCode : fail(error.what());
    }
}

bool CommandLine::reportUnexpectedArgument() const
{
    // Said for the app that was left with it: "stash: unknown command frobnicate",
    // "stash list: unknown option -x".
    const CLI::App* given = command();
    for (const CLI::App* app : {given, static_cast<const CLI::App*>(root.get())}) {
        if (!app || app->remaining().empty())
            continue;
        std::string who = app == given ? program + " " + app->get_name() : program;
        std::fputs(usageErrorLine(who, unexpectedArgumentMessage(*app, app->remaining().front()))
                       .c_str(),
            stderr);
        return true;
    }
    return false;
}

int CommandLine::fail(const std::string& message) const
{
    std::fputs(usageErrorLine(who(), message).c_str(), stderr);
    return usageErrorExitCode;
}

} // namespace tincrates

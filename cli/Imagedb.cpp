#include "cli/Imagedb.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "FerrovelVersion.h"
#include "cli/Commands.h"

namespace ferrovel {
namespace {

constexpr const char* kVersion = "imagedb " FERROVEL_VERSION;

constexpr const char* kFooter =
    "Run 'imagedb help COMMAND' or 'imagedb COMMAND --help' for the details of a command.\n"
    "\n"
    "\"--\" ends the options: every argument after it is a file, even one that starts\n"
    "with \"-\". \"-\" as the output of a single export writes the bitmap to standard\n"
    "output; as a bitmap of import it reads one from standard input.\n"
    "\n"
    "Exit status: 0 done (warnings of damaged records may stand on standard error);\n"
    "1 something failed, or check found damage; 2 the command line was wrong.";

// The tool's command line and its commands.
struct CommandLine {
    CLI::App app{"imagedb: the image databases of a handheld painting program, in batch",
                 "imagedb"};
    std::vector<Command> commands;
};

// Help in the tool's own words: an option shows the value it takes and
// nothing else, as its description says what goes with it.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        if (option->get_positional() || option->get_type_size() == 0) return {};
        return " " + option->get_type_name();
    }
};

void setUp(CommandLine& line) {
    CLI::App& app = line.app;
    const auto formatter = std::make_shared<HelpFormatter>();
    app.formatter(formatter);
    formatter->label("Usage", "usage");
    formatter->label("OPTIONS", "options");
    formatter->label("SUBCOMMAND", "COMMAND");
    formatter->label("Positionals", "Arguments");
    formatter->column_width(24);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", kVersion, "print the version and exit");
    app.footer(kFooter);
    line.commands = {addNewCommand(app),    addInfoCommand(app),   addListCommand(app),
                     addCheckCommand(app),  addExportCommand(app), addImportCommand(app),
                     addDeleteCommand(app), addRenameCommand(app), addMoveCommand(app)};
    // Listed with the others; "help COMMAND" is taken before the parse, as
    // the parser would take COMMAND for that command itself.
    app.add_subcommand("help", "explain the tool, or one command");
    for (CLI::App* command : app.get_subcommands({})) command->group("Commands");
}

const Command* findCommand(const CommandLine& line, const std::string& name) {
    for (const Command& command : line.commands) {
        if (command.app->get_name() == name) return &command;
    }
    return nullptr;
}

// The command a parse has reached, even one that stopped it; empty for none.
std::string chosenCommand(const CommandLine& line) {
    const std::vector<CLI::App*> chosen = line.app.get_subcommands();
    return chosen.empty() ? std::string() : chosen.front()->get_name();
}

void printText(std::FILE* out, const std::string& text) {
    std::fputs(text.c_str(), out);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', out);
}

int printHelp(const Tool& tool, const CommandLine& line, const std::string& topic) {
    if (const Command* command = findCommand(line, topic)) {
        printText(tool.out, command->app->help("imagedb"));
    } else if (topic.empty() || topic == "help") {
        printText(tool.out, line.app.help());
    } else {
        return usageError(tool, "", "there is no command \"" + topic + "\"");
    }
    return kExitOk;
}

// The parser's words for the commonest mistakes, in the tool's own.
std::string mistakeText(const CLI::ParseError& error) {
    const std::string what = error.what();
    const std::size_t colon = what.rfind(": ");
    if (dynamic_cast<const CLI::ExtrasError*>(&error) && colon != std::string::npos) {
        // The parser lists them last first.
        std::vector<std::string> extras = CLI::detail::split(what.substr(colon + 2), ' ');
        std::reverse(extras.begin(), extras.end());
        for (const std::string& extra : extras) {
            if (extra.starts_with('-')) return "unknown option " + extra;
        }
        return "too many arguments: " + CLI::detail::join(extras, " ");
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && what.ends_with(" missing"))
        return what.substr(0, what.find(':')) + " needs a value";
    return what;
}

// "new, info, ... and move", from the commands set up, so that the list
// never misses one.
std::string commandNames(const CommandLine& line) {
    std::vector<std::string> names;
    for (const CLI::App* command : line.app.get_subcommands({})) {
        if (command->get_name() != "help") names.push_back(command->get_name());
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 == names.size() ? " and " : ", ";
        list += names[i];
    }
    return list;
}

// Parses the command line and runs what it asks for.
int runCommandLine(const Tool& tool, const std::vector<std::string>& args) {
    CommandLine line;
    setUp(line);
    if (!args.empty() && args[0] == "help") {
        if (args.size() > 2) return usageError(tool, "", "help explains one command at a time");
        const bool named = args.size() == 2 && args[1] != "-h" && args[1] != "--help";
        return printHelp(tool, line, named ? args[1] : std::string());
    }
    if (!args.empty() && !args[0].empty() && args[0][0] != '-' && !findCommand(line, args[0])) {
        return usageError(
            tool, "",
            "there is no command \"" + args[0] + "\"; the commands are " + commandNames(line));
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        line.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return printHelp(tool, line, chosenCommand(line));
    } catch (const CLI::CallForVersion& version) {
        std::fprintf(tool.out, "%s\n", version.what());
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        return usageError(tool, chosenCommand(line), mistakeText(error));
    }
    const std::string chosen = chosenCommand(line);
    if (const Command* command = findCommand(line, chosen)) return command->run(tool);
    return usageError(tool, "", "no command given");
}

// A script must not take a cut-off listing or bitmap for a whole one.
int checkOutput(const Tool& tool, int status) {
    const bool flushed = std::fflush(tool.out) == 0;
    const int error = errno;
    if (flushed && !std::ferror(tool.out)) return status;
    const std::string reason = flushed ? "" : std::string(" (") + std::strerror(error) + ")";
    return fail(tool, "the output could not be written" + reason + "; it is incomplete");
}

}  // namespace

int runImagedb(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
               std::FILE* in) {
    const Tool tool{out, err, in};
    int status = kExitFailed;
    try {
        status = runCommandLine(tool, args);
    } catch (const std::exception& error) {
        status = fail(tool, std::string("stopped: ") + error.what());
    }
    return checkOutput(tool, status);
}

}  // namespace ferrovel

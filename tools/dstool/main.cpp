// dstool's entry point: the help texts, the parsing of each command line
// against the command table (commands.cpp) and the one place where failures
// become an error line on standard error and an exit status (0 done, 1 the
// value or lookup failed, 2 the command line is wrong).
#include "dstool.h"

#include <cstdio>
#include <exception>
#include <new>

namespace dstool
{

namespace
{

const char *kStatusHelp =
    "Exit status: 0 done; 1 the value or lookup failed (also an unreadable module\n"
    "directory, input or output); 2 the command line is wrong.\n";

std::string
tool_help()
{
    std::string text =
        "usage: dstool [--json] COMMAND [ARGS...]\n\n"
        "Looks into libdstypes and its schema modules (module directory\n" DSTOOL_MODULE_DIR
        "), and converts values with the library.\n\nCommands:\n";
    for (const CommandSpec &command_spec : commands()) {
        std::string name = command_spec.name;
        text += "  " + name + std::string(name.size() < 12 ? 12 - name.size() : 1, ' ') +
                command_spec.summary + "\n";
    }
    text += "\nOptions, before or after the command:\n"
            "  --json      print the result as JSON (shape in the README); not for check\n"
            "  --help      show this help, or after a command that command's\n";
    text += "\nRun \"dstool COMMAND --help\" for a command's arguments. A JSON argument \"-\"\n"
            "reads the next value from standard input (values separated by white space).\n";
    text += kStatusHelp;
    return text;
}

std::string
command_help(const CommandSpec &command_spec)
{
    std::string text =
        std::string("usage: dstool ") + command_spec.synopsis + "\n\n" + command_spec.details;
    text += "\nOptions:\n";
    for (const OptionSpec &option : command_spec.options) {
        std::string left = std::string(option.name) + (option.value ? " " : "") +
                           (option.value ? option.value : "");
        text += "  " + left + std::string(left.size() < 15 ? 15 - left.size() : 1, ' ') +
                option.help + "\n";
    }
    text += "  --help         show this help\n";
    text += kStatusHelp;
    return text;
}

const OptionSpec *
find_option(const CommandSpec &command_spec, const std::string &name)
{
    for (const OptionSpec &option : command_spec.options) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

[[noreturn]] void
usage_error(const CommandSpec &command_spec, const std::string &what)
{
    fail(kStatusUsage, "", what + " (see dstool " + command_spec.name + " --help)");
}

// Returns false when --help was asked for. words are the command line after
// the command's name. Arguments that look like options but are not "--"
// words ("-", "-5") stay positional, so negative numbers and standard input
// can be given as values.
bool
parse_command_line(const CommandSpec &command_spec, const std::vector<std::string> &words,
                   Invocation &inv)
{
    bool options_done = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string &arg = words[i];
        if (options_done || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!options_done && arg == "-h")
                return false;
            inv.args.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "--help")
            return false;
        std::string name = arg.substr(0, arg.find('='));
        const OptionSpec *option = find_option(command_spec, name);
        if (option == nullptr)
            usage_error(command_spec, "unknown option " + printable(name));
        if (option->value == nullptr) {
            if (name != arg)
                usage_error(command_spec, "option " + name + " takes no value");
            inv.flags.insert(name);
        } else if (name != arg) {
            inv.options[name] = arg.substr(name.size() + 1);
        } else if (i + 1 < words.size()) {
            inv.options[name] = words[++i];
        } else {
            usage_error(command_spec, "option " + name + " needs " + option->value);
        }
    }
    std::string synopsis = command_spec.synopsis;
    const char *instead = command_spec.instead_of_args;
    if (instead != nullptr && inv.options.count(instead) != 0) {
        if (!inv.args.empty())
            usage_error(command_spec,
                        "arguments and " + std::string(instead) + " together: " + synopsis);
        return true;
    }
    if (inv.args.size() < command_spec.min_args)
        usage_error(command_spec, "missing arguments: " + synopsis);
    if (inv.args.size() > command_spec.max_args)
        usage_error(command_spec, "too many arguments: " + synopsis);
    return true;
}

const CommandSpec *
find_command(const std::string &name)
{
    for (const CommandSpec &command_spec : commands()) {
        if (name == command_spec.name)
            return &command_spec;
    }
    return nullptr;
}

// Options that may come before the command as well as after it; they are
// handed to the command as if given after it.
bool
is_leading_option(const std::string &word)
{
    return word == kJsonOption.name;
}

int
run(int argc, char **argv, std::string &command)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    size_t leading = 0;
    while (leading < words.size() && is_leading_option(words[leading]))
        ++leading;
    if (leading == words.size())
        fail(kStatusUsage, "", "missing command (see dstool --help)");
    std::string first = words[leading];
    if (first == "--help" || first == "-h" || first == "help") {
        print(tool_help());
        return kStatusOk;
    }
    // A command of two words ("doc join") is named by both.
    if (find_command(first) == nullptr && leading + 1 < words.size() &&
        find_command(first + " " + words[leading + 1]) != nullptr) {
        first += " " + words[leading + 1];
        words.erase(words.begin() + static_cast<std::ptrdiff_t>(leading) + 1);
    }
    const CommandSpec *command_spec = find_command(first);
    if (command_spec == nullptr)
        fail(kStatusUsage, printable(first), "unknown command (see dstool --help)");
    command = command_spec->name;
    Invocation inv;
    inv.command = command_spec->name;
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(leading));
    if (!parse_command_line(*command_spec, words, inv)) {
        print(command_help(*command_spec));
        return kStatusOk;
    }
    return command_spec->run(inv);
}

void
report(const std::string &command, const std::string &input, const std::string &reason)
{
    std::string line = "dstool: ";
    if (!command.empty())
        line += command + ": ";
    if (!input.empty())
        line += input + ": ";
    line += reason + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace

} // namespace dstool

int
main(int argc, char **argv)
{
    std::string command;
    try {
        return dstool::run(argc, argv, command);
    } catch (const dstool::Failure &failure) {
        dstool::report(command, failure.input, failure.reason);
        return failure.status;
    } catch (const std::bad_alloc &) {
        dstool::report(command, "", "out of memory");
    } catch (const std::exception &e) {
        dstool::report(command, "", e.what());
    }
    return dstool::kStatusFailed;
}

// dstool's entry point: the table of subcommands, their help texts, the
// parsing of each command line and the one place where failures become an
// error line on standard error and an exit status (0 done, 1 the value or
// lookup failed, 2 the command line is wrong).
#include "dstool.h"

#include <cstdio>
#include <exception>
#include <new>

namespace dstool
{

namespace
{

struct OptionSpec {
    const char *name;
    const char *value; // placeholder of its value; null for a flag
    const char *help;
};

struct CommandSpec {
    const char *name;
    const char *synopsis;
    const char *summary;
    const char *details;
    std::vector<OptionSpec> options;
    const char *instead_of_args; // an option given in place of the arguments, or null
    size_t min_args;
    size_t max_args;
    int (*run)(const Invocation &);
};

const OptionSpec kJsonOption{"--json", nullptr, "print the result as JSON (shape in the README)"};
const OptionSpec kModuleOption{
    "--module", "FILE",
    "only the module FILE: \"builtin\", a path that dlopen(FILE, RTLD_NOLOAD)\n"
    "                 resolves to a loaded module, or a module's file name or path"};

const std::vector<CommandSpec> &
commands()
{
    static const std::vector<CommandSpec> table = {
        {"types",
         "types [--module FILE] [--json]",
         "table of the types of the built-in table and of every loaded module",
         "Lists every type record in module list order: the built-in table first,\n"
         "then each schema module in the order it was loaded. Columns: module (its\n"
         "file name, or \"builtin\"), type name, kind, size of the packed form in\n"
         "bytes, and a summary of the kind's parameters.\n",
         {kModuleOption, kJsonOption},
         nullptr,
         0,
         0,
         cmd_types},
        {"type",
         "type NAME | --key KEYPATH [--json]",
         "the whole description of one type",
         "Describes the type NAME and, recursively, every type it refers to:\n"
         "ranges, patterns, enumeration rows in table order, array elements,\n"
         "sequence fields, choice arms with their discriminator values, and the\n"
         "converter and base of a converted type. --key describes instead the leaf\n"
         "type of the key that KEYPATH names, which has no name in a generated\n"
         "module.\n",
         {{"--key", "KEYPATH",
           "the leaf type of the key ds_find_key(KEYPATH, 1) finds; a key's\n"
           "                 name as \"dstool keys\" prints it is such a path"},
          kJsonOption},
         "--key",
         1,
         1,
         cmd_type},
        {"keys",
         "keys [--module FILE] [--json]",
         "every key of every module",
         "Lists every key node in walk order: module, key name (literal levels by\n"
         "name, typed levels as \"*\"), the typed levels with their field types, and\n"
         "the leaf type (\"-\" for a key that stores no value).\n",
         {kModuleOption, kJsonOption},
         nullptr,
         0,
         0,
         cmd_keys},
        {"alarms",
         "alarms [--module FILE] [--json]",
         "the key of every alarm row",
         "Lists every row of every module's alarm table: module, row number and\n"
         "the name of the row's key.\n",
         {kModuleOption, kJsonOption},
         nullptr,
         0,
         0,
         cmd_alarms},
        {"validate",
         "validate TYPE JSON [--json]",
         "check a JSON value against a type",
         "Prints \"valid\" when JSON is a valid value of TYPE; otherwise exits 1 and\n"
         "says why: where in the value, and what the type allows there. JSON may\n"
         "be \"-\" to read it from standard input.\n",
         {kJsonOption},
         nullptr,
         2,
         2,
         cmd_validate},
        {"canonical",
         "canonical TYPE JSON [--json]",
         "the canonical JSON text of a value",
         "Prints the canonical text of the JSON value under TYPE: packed and\n"
         "converted back by the library. JSON may be \"-\" to read standard input.\n",
         {kJsonOption},
         nullptr,
         2,
         2,
         cmd_canonical},
        {"pack",
         "pack TYPE JSON [--json]",
         "the packed form of a JSON value, in hex",
         "Prints the packed form of the JSON value under TYPE as hex pairs,\n"
         "all of the type's size. JSON may be \"-\" to read standard input.\n",
         {kJsonOption},
         nullptr,
         2,
         2,
         cmd_pack},
        {"unpack",
         "unpack TYPE HEX [--json]",
         "the JSON value of a packed form",
         "Converts the packed bytes HEX (hex pairs, blanks allowed between pairs)\n"
         "under TYPE and prints the JSON value. HEX must hold exactly the type's\n"
         "size in bytes. HEX may be \"-\" to read all of standard input.\n",
         {kJsonOption},
         nullptr,
         2,
         2,
         cmd_unpack},
        {"leaf",
         "leaf validate|canonical|pack KEYPATH JSON [--json]",
         "a value of a key's leaf type",
         "Does what \"dstool validate\", \"canonical\" or \"pack\" does, with the leaf\n"
         "type of the key that KEYPATH names (ds_find_key(KEYPATH, 1)) in place of a\n"
         "type name: the way to reach the anonymous leaf types of generated\n"
         "modules. A key's name as \"dstool keys\" prints it is such a path; typed\n"
         "components are not checked. pack converts with ds_leaf_to_c. JSON may be\n"
         "\"-\" to read standard input.\n",
         {kJsonOption},
         nullptr,
         3,
         3,
         cmd_leaf},
        {"build-key",
         "build-key KEYNAME VALUE... [--json]",
         "the key path of a key and its values",
         "Finds the key named KEYNAME (as \"dstool keys\" prints it), packs each\n"
         "VALUE (a JSON text) with the field type of the matching typed level, top\n"
         "level first, and prints the key path that ds_build_key builds from them.\n"
         "Give exactly one VALUE per typed level. Each VALUE \"-\" reads the next\n"
         "JSON value from standard input, where values are separated by white\n"
         "space; the last \"-\" takes all that remains, which must be one value.\n",
         {kJsonOption},
         nullptr,
         1,
         SIZE_MAX,
         cmd_build_key},
        {"find-key",
         "find-key PATH [--leaf] [--check] [--json]",
         "the key that a key path names",
         "Looks PATH up with ds_find_key and prints the key's name, module, typed\n"
         "levels and leaf type. Exits 1 when no key has the path. The library lets\n"
         "a typed level match any component; --check also requires each typed\n"
         "component to be a valid value of its level's type and names the first\n"
         "one that is not.\n",
         {{"--leaf", nullptr, "only a key that stores a value counts"},
          {"--check", nullptr, "validate every typed component"},
          kJsonOption},
         nullptr,
         1,
         1,
         cmd_find_key},
        {"field",
         "field TEXT KEYNAME N [--json]",
         "field N of a key's field text",
         "Takes field N (1 for the first typed level) out of the field text TEXT of\n"
         "the key KEYNAME: the typed levels' JSON texts joined by \"/\", without\n"
         "literal levels and without a leading \"/\". Prints the field's JSON value\n"
         "and its packed form under the level's field type. TEXT may be \"-\" to\n"
         "read all of standard input.\n",
         {kJsonOption},
         nullptr,
         3,
         3,
         cmd_field},
        {"demo",
         "demo [--json]",
         "the round trip on the example module",
         "Runs the library's round trip on the example module (example.so in the\n"
         "module directory " DSTOOL_MODULE_DIR "): a packed \"interface\" value,\n"
         "ds_build_key on /interfaces/*/state, ds_find_key on the path,\n"
         "ds_leaf_to_c of the leaf value \"up\", and ds_key_field_c giving the packed\n"
         "value back. Exits 1 when the example module is not loaded.\n",
         {kJsonOption},
         nullptr,
         0,
         0,
         cmd_demo},
        {"check",
         "check FILE.so...",
         "name every mistake in schema module files",
         "Opens each FILE as the loader would (any path, nothing installed) and\n"
         "prints one line per problem, naming the symbol and record: counts that\n"
         "disagree with their tables, names meant for the five module symbols that\n"
         "the loader will not find, key links that leave the forest or go round,\n"
         "type names hidden by a built-in type, an earlier module or an earlier\n"
         "row, sizes that disagree with their parts, unknown kinds and converters,\n"
         "and patterns that do not compile. Prints \"FILE: ok\" for a clean file.\n"
         "Exits 1 when it found a problem.\n",
         {},
         nullptr,
         1,
         SIZE_MAX,
         cmd_check},
    };
    return table;
}

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

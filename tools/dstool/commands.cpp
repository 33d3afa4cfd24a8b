// dstool's table of subcommands: each command's synopsis, help texts,
// options, argument counts and the function that runs it, in the order
// "dstool --help" lists them. main.cpp parses command lines against it.
#include "dstool.h"

namespace dstool
{

const OptionSpec kJsonOption{"--json", nullptr, "print the result as JSON (shape in the README)"};

namespace
{

const OptionSpec kModuleOption{
    "--module", "FILE",
    "only the module FILE: \"builtin\", a path that dlopen(FILE, RTLD_NOLOAD)\n"
    "                 resolves to a loaded module, or a module's file name or path"};

} // namespace

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
        {"doc split",
         "doc split [--at KEYPATH] [FILE|-]",
         "an RFC 7951 document as key paths and packed values",
         "Reads the RFC 7951 JSON document in FILE (standard input for \"-\" or\n"
         "none) against the document data of the modules (which dsgen writes)\n"
         "and prints one entry a line in document order: the key path, a TAB and\n"
         "the packed value as \"dstool pack\" prints it (nothing after the TAB for\n"
         "a list entry or presence container). The whole document is checked\n"
         "first: when it is refused, nothing is printed on standard output and\n"
         "the error names the member's place (a JSON pointer) and the reason.\n",
         {{"--at", "KEYPATH",
           "the document is the body of the node KEYPATH names, as a RESTCONF\n"
           "                 resource: {\"module:name\": ...}; a list entry's path\n"
           "                 names it by all its keys"}},
         nullptr,
         0,
         1,
         cmd_doc_split},
        {"doc join",
         "doc join [--compact] [--at KEYPATH] [FILE|-]",
         "entries joined into an RFC 7951 document",
         "Reads entries, one a line: a key path, a TAB, and the packed value as\n"
         "\"dstool pack\" prints it (empty for a list entry or a presence\n"
         "container), from FILE or standard input (\"-\", the default), in any\n"
         "order, and prints the document they make as YANG tools print it: schema\n"
         "order, list entries and leaf-list elements in the order they came,\n"
         "state defaults added. Keys must be of modules that dsgen wrote. Exits 1\n"
         "and prints nothing when an entry is refused, naming its line.\n",
         {{"--compact", nullptr, "no indentation and no final newline"},
          {"--at", "KEYPATH",
           "print the body of the node KEYPATH names, as RESTCONF\n"
           "                 returns that resource; entries lie below it"}},
         nullptr,
         0,
         1,
         cmd_doc_join},
        {"check",
         "check FILE.so...",
         "name every mistake in schema module files",
         "Opens each FILE as the loader would (any path, nothing installed) and\n"
         "prints one line per problem, naming the symbol and record: counts that\n"
         "disagree with their tables, names meant for the module symbols that\n"
         "the loader will not find, key links that leave the forest or go round,\n"
         "type names hidden by a built-in type, an earlier module or an earlier\n"
         "row, sizes that disagree with their parts, unknown kinds and converters,\n"
         "patterns that do not compile, and document data (\"ds_doc_schema\", which\n"
         "dsgen writes) that does not describe the key forest and its types.\n"
         "Prints \"FILE: ok\" for a clean file.\n"
         "Exits 1 when it found a problem.\n",
         {},
         nullptr,
         1,
         SIZE_MAX,
         cmd_check},
    };
    return table;
}

} // namespace dstool

// dstool: the command-line face of libdstypes. This header holds what the
// commands share: the failure that ends a command, the capture of the
// library's log lines, input readers, module and key helpers, the type
// description and the output helpers. The tool reaches the library only
// through its public header.
#ifndef DSTOOL_DSTOOL_H
#define DSTOOL_DSTOOL_H

#include "dstypes.h"
#include "dstypes.hpp"

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dstool
{

// Exit statuses, one rule for every command.
constexpr int kStatusOk = 0;     // done
constexpr int kStatusFailed = 1; // the value or the lookup failed (or the system did)
constexpr int kStatusUsage = 2;  // the command line is wrong

// Ends a command: main prints "dstool: COMMAND: INPUT: REASON" and exits with status.
struct Failure {
    int status;
    std::string input;
    std::string reason;
};

[[noreturn]] void fail(int status, const std::string &input, const std::string &reason);

// Owners of what the library and json-c hand out (json-c's owner is the
// C++ header's).
using JsonPtr = ds::detail::JsonPtr;
struct FreeDeleter {
    void
    operator()(void *p) const
    {
        std::free(p);
    }
};
using CharPtr = std::unique_ptr<char, FreeDeleter>;
using BytesPtr = std::unique_ptr<void, FreeDeleter>;

// The parsed command line of one subcommand.
struct Invocation {
    std::string command;
    std::vector<std::string> args;              // positional arguments in order
    std::set<std::string> flags;                // options without value: "--json"
    std::map<std::string, std::string> options; // options with value: "--module"
    bool
    has(const char *flag) const
    {
        return flags.count(flag) != 0;
    }
};

// --- Library log lines (diag.cpp) ---

// Lines that the library logged since the last clear, without their final newline.
const std::vector<std::string> &log_lines();
void clear_log_lines();
// The last logged line, or fallback when nothing was logged.
std::string log_reason(const std::string &fallback);
// Text made fit for a one-line message: control characters escaped, cut
// after max characters with "..." appended.
std::string printable(std::string_view text, size_t max = 60);
// strerror of an errno value.
std::string errno_text(int error);

// --- Inputs (input.cpp) ---

// A hex or field text from an argument, or all of standard input for "-".
// context (a type name, say) leads the input's name in messages.
std::string read_text_arg(const std::string &arg, const std::string &context);
// All of standard input; a read error is a failure.
std::string read_all_stdin();
// All of the file FILE, or of standard input for "-" or no name; a file that
// cannot be read is a failure (status 1).
std::string read_file_arg(const std::string &arg);
// How an input is named in messages: its text, shortened.
std::string input_name(const std::string &text);
// The same after context and a blank, when context is not empty.
std::string input_name(const std::string &context, const std::string &text);
// Packed bytes from hex pairs, blanks allowed between pairs.
std::vector<uint8_t> parse_hex(const std::string &text, const std::string &context);
// Bytes as lowercase hex pairs separated by blanks: "04 01 03 01".
std::string hex(const void *bytes, size_t len);
// An unsigned decimal number of at most 32 bits, or a usage failure.
uint32_t parse_u32(const std::string &text, const char *what);
// The components of a key path (after its leading "/") or of a field text,
// cut where the library cuts them: at a "/" outside a quoted stretch.
std::vector<std::string> split_components(std::string_view text);

// --- Strict JSON input (strict_json.cpp) ---

// One JSON value as typed: its text without surrounding blanks, and its object.
struct JsonValue {
    std::string text;
    JsonPtr jo;
};
// text as exactly one JSON value, or a failure (status 1) naming input and
// the reason: not JSON, text or a second value after it, JSON null, an
// integer beyond 64 bits, a non-finite number, a NUL character.
JsonValue strict_json(const std::string &text, const std::string &input);
// args[first...] with each "-" replaced by the next value on standard input;
// the last "-" takes all that remains, so that a surplus is refused with it.
std::vector<std::string> value_args(const std::vector<std::string> &args, size_t first);
// Where jo holds a number that JSON cannot write (Infinity, NaN), and what;
// empty when there is none.
std::string non_finite_number(json_object *jo);

// --- Reasons for refusals (explain.cpp) ---

// Why the library refuses jo (or the packed bytes) as a value of type:
// where in the value and what the descriptor allows there. Empty when no
// reason is found, which means the refusal came from elsewhere.
std::string why_json_refused(const DsType *type, json_object *jo);
std::string why_packed_refused(const DsType *type, const uint8_t *bytes, size_t size);

// --- Modules, types and keys (registry.cpp) ---

// The module list, built by a first lookup if need be; a usage failure
// (with the loader's own perror text) when it cannot be built.
const DsModule *loaded_modules();
// "builtin" for the built-in record, else the file name of the module.
std::string module_name(const DsModule *module);
// The path the module was loaded from; empty for the built-in record.
std::string module_path(const DsModule *module);
// The module that holds a key node or type record, by file name.
std::string module_of(const void *address);
// The module that --module names ("builtin", a loaded module's file name or
// path, or a path dlopen resolves to one), null without --module; a lookup
// failure when no loaded module matches.
const DsModule *selected_module(const Invocation &inv);
// Whether address lies in the module's shared object.
bool module_holds(const DsModule *module, const void *address);
// The type named name, or a lookup failure.
const DsType *find_type_or_fail(const std::string &name);
// The type's name, or "(anonymous KIND)" for a type without one.
std::string type_label(const DsType *type);
// "int" ... "bitmap", "converted", or "invalid (N)".
std::string kind_label(uint32_t kind);
// Every key node, in walk order.
std::vector<const DsKeyNode *> all_keys();
// The key's name as ds_key_name writes it, however long.
std::string key_name(const DsKeyNode *key);
// The first key whose name is name, or a lookup failure.
const DsKeyNode *find_key_by_name(const std::string &name);
// The key with a leaf type that ds_find_key(path, 1) finds, or a lookup
// failure that tells a missing key from one that stores no value.
const DsKeyNode *find_leaf_key_or_fail(const std::string &path);
// The key's typed levels, top first; throws a usage failure for keys deeper
// than the library handles.
std::vector<const DsKeyNode *> typed_levels(const DsKeyNode *key);
// "name (type), ..." for the typed levels; "-" when there are none.
std::string typed_levels_text(const DsKeyNode *key);
// Every level of the key, top first, as a JSON array of {"name", "field_type"}.
JsonPtr levels_json(const DsKeyNode *key);
// How a typed level is named in messages: "level 2 (name: interface)".
std::string level_label(const DsKeyNode *key, const DsKeyNode *level);

// --- Type descriptions (describe.cpp) ---

// The whole description of a type, nested types included.
JsonPtr describe_type(const DsType *type);
// The same as indented text lines.
std::string describe_text(const json_object *description);
// One-line summary of a type's parameters for the type table.
std::string type_summary(const DsType *type);
// The same as a JSON object; types it refers to appear as type_reference does.
JsonPtr type_parameters(const DsType *type);
// A type where a listing refers to it: its name, an object {"kind", "size",
// "parameters"} for an anonymous type, JSON null for none.
json_object *type_reference(const DsType *type);

// --- Output (output.cpp) ---

// Creates json values, throwing std::bad_alloc when json-c cannot.
JsonPtr json_object_or_throw();
JsonPtr json_array_or_throw();
void json_set(json_object *object, const char *key, json_object *value);
void json_set(json_object *object, const char *key, const std::string &value);
void json_set(json_object *object, const char *key, int64_t value);
void json_set(json_object *object, const char *key, bool value);
// A JSON string, or JSON null for a null text.
json_object *json_text_or_null(const char *text);
void json_append(json_object *array, json_object *value);
// The object as indented JSON, "/" not escaped.
std::string json_pretty(json_object *jo);
// The object as json-c prints it by default.
std::string json_text(json_object *jo);

// A table printed with columns padded to their widest cell, or as a JSON
// array of objects keyed by the column keys.
struct Table {
    std::vector<std::string> headers; // printed titles
    std::vector<std::string> keys;    // JSON member names
    std::vector<bool> numeric;        // columns written as JSON numbers
    std::vector<std::vector<std::string>> rows;
    // Per row, members that replace or follow the text cells in the JSON form.
    std::vector<JsonPtr> extra;
    std::string text() const;
    std::string json() const;
};

// Writes text to standard output; a write error is a failure.
void print(const std::string &text);
// Writes the object as indented JSON and a newline.
void print_json(json_object *jo);

// --- The command table (commands.cpp) ---

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

// Every subcommand, in the order "dstool --help" lists them.
const std::vector<CommandSpec> &commands();
// The option every command but check takes, before the command or after it.
extern const OptionSpec kJsonOption;

// --- Commands ---
int cmd_types(const Invocation &inv);
int cmd_type(const Invocation &inv);
int cmd_keys(const Invocation &inv);
int cmd_alarms(const Invocation &inv);
int cmd_validate(const Invocation &inv);
int cmd_canonical(const Invocation &inv);
int cmd_pack(const Invocation &inv);
int cmd_unpack(const Invocation &inv);
int cmd_leaf(const Invocation &inv);
int cmd_build_key(const Invocation &inv);
int cmd_find_key(const Invocation &inv);
int cmd_field(const Invocation &inv);
int cmd_demo(const Invocation &inv);
int cmd_check(const Invocation &inv);
int cmd_compat(const Invocation &inv);
int cmd_tree(const Invocation &inv);
int cmd_doc_join(const Invocation &inv);
int cmd_doc_split(const Invocation &inv);

} // namespace dstool

#endif

// Shared pieces of the fuzz targets: a reader over the fuzzer's bytes, the
// table of types that the targets pick from, the example module installed as
// the only module with keys, and the two round trips that several targets run
// (packed bytes out to JSON and back; JSON text in and out as canonical text).
// A violated property aborts the process with its name.
#ifndef DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H
#define DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H

#include "dstypes.h"

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz
{

// Takes bytes off the front of the input; past its end every read gives 0.
struct Input {
    const uint8_t *p;
    const uint8_t *end;
    uint8_t byte();
    uint16_t u16();
    size_t left() const;
    // Takes the next count bytes (fewer at the end of the input).
    std::vector<uint8_t> take(size_t count);
    // The rest of the input as a NUL-terminated text (cut at an embedded NUL).
    std::string rest_text();
};

// The 29 built-in rows, the example module's table, then local types
// (arrays, bitmaps, a nested sequence, a converter out of range).
const DsType *type_at(size_t index);

// The example module's key forest linked into module_list behind the built-in
// record, done once; example_key picks one of its nodes.
void use_example_module();
const DsKeyNode *example_key(size_t index);

void require(bool holds, const char *property, const std::string &detail = "");
// json-c's default text of an object; "null" for a null pointer.
std::string text_of(json_object *jo);

// Packed bytes (in a buffer of exactly their length) through ds_c_to_jo and
// back. For a consistent type: validation agrees with conversion, the JSON
// converts back to a packed form that reads the same, and is its canonical text.
void check_packed(const DsType *type, const std::vector<uint8_t> &bytes, bool consistent);
// A JSON text through every text converter. For a consistent type: validation
// agrees with conversion, ds_type_to_c writes what ds_jo_to_c writes, and a
// value's canonical text is its packed form's JSON and its own canonical text.
void check_text(const DsType *type, const std::string &text, bool consistent);

} // namespace fuzz

#endif

// What the fuzz targets share: a reader over the fuzzer's bytes, a table of
// types to pick from, the example module as the only keyed module, and the
// round trips that several targets run. A violated property aborts.
#ifndef DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H
#define DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H

#include "dstypes.h"

#include <json-c/json.h>

#include <string>
#include <vector>

namespace fuzz
{

// Takes bytes off the front of the input; past its end every read gives 0.
struct Input {
    const uint8_t *p;
    const uint8_t *end;
    uint8_t byte();
    size_t left() const;
    std::vector<uint8_t> take(size_t count); // fewer at the end of the input
    std::string rest_text();                 // cut at an embedded NUL
};

// The built-in rows, the example module's table, then a few local types.
const DsType *type_at(size_t index);
// The example module linked in behind the built-in record (once).
void use_example_module();
const DsKeyNode *example_key(size_t index);

void require(bool holds, const char *property, const std::string &detail = "");
std::string text_of(json_object *jo); // "null" for a null pointer

// Packed bytes (exactly sized) to JSON and back; for a consistent type the
// JSON validates, converts back to the same JSON and is its canonical text.
void check_packed(const DsType *type, const std::vector<uint8_t> &bytes, bool consistent);
// A JSON text through every text converter; for a consistent type they agree
// with each other, and a canonical text is the packed form's JSON and its own.
void check_text(const DsType *type, const std::string &text, bool consistent);

} // namespace fuzz

#endif

// Shared pieces of the fuzz targets: a reader over the fuzzer's bytes, the
// table of types that the targets pick from (built-in, the example module's
// and a few made here for kinds the others leave out), the example module
// installed as the only module with keys, and the property check that stops
// the process on a violation.
#ifndef DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H
#define DSTYPES_TESTS_FUZZ_FUZZ_SUPPORT_H

#include "dstypes.h"

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz
{

// Takes bytes off the front of the input; past its end every read gives 0.
class Input
{
  public:
    Input(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    uint8_t byte();
    uint16_t u16();
    size_t
    left() const
    {
        return static_cast<size_t>(end_ - p_);
    }
    const uint8_t *
    data() const
    {
        return p_;
    }
    // The rest of the input as a NUL-terminated text (cut at an embedded NUL).
    std::string rest_text();

  private:
    const uint8_t *p_;
    const uint8_t *end_;
};

// Every type the targets convert: the 29 built-in rows, the example module's
// table, then local types (arrays, bitmaps, a nested sequence).
size_t type_count();
const DsType *type_at(size_t index);

// The example module's key forest, linked into module_list behind the
// built-in record (done once; later calls return at once).
void use_example_module();
const DsKeyNode *example_key(size_t index);
size_t example_key_count();

// Aborts with a message naming the violated property.
void require(bool holds, const char *property, const std::string &detail = "");

// json-c's default text of an object; "null" for a null pointer.
std::string text_of(json_object *jo);

} // namespace fuzz

#endif

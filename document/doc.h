// libdstypes-doc's private helpers, shared by the split and the join side:
// the error record, the document data of a key node's module, and the
// value forms (RFC 7951 values against the library's JSON forms). Nothing
// here is exported.
#ifndef DSTYPES_DOCUMENT_DOC_H
#define DSTYPES_DOCUMENT_DOC_H

#include "dstypes.h"
#include "dstypes_doc.h"
#include "dstypes_path.hpp"

#include <json-c/json.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

// The exported functions of the library (dstypes-doc.map lists them).
#define DOC_EXPORT __attribute__((visibility("default")))

struct DsDocError {
    std::string where;
    std::string reason;
};

namespace doc
{

// Owner of a json-c object.
struct JsonPut {
    void
    operator()(json_object *jo) const
    {
        json_object_put(jo);
    }
};
using JsonPtr = std::unique_ptr<json_object, JsonPut>;

// What json-c made, or std::bad_alloc where it made nothing: json-c gives
// null when it cannot allocate, and the split and join report that as "out
// of memory" rather than as a refused value.
template <class T>
T *
made(T *result)
{
    if (result == nullptr)
        throw std::bad_alloc();
    return result;
}

// After a call of the library that refused: std::bad_alloc when what
// failed was an allocation (the library leaves errno at ENOMEM, which the
// caller set to 0 before the call), so that no value is refused for it.
inline void
throw_if_out_of_memory()
{
    if (errno == ENOMEM)
        throw std::bad_alloc();
}

// ds_c_value_is_valid's verdict, where a check that ran out of memory throws
// std::bad_alloc instead of refusing the value.
inline bool
value_is_valid(const DsType *type, const void *bytes, uint32_t size)
{
    errno = 0;
    if (ds_c_value_is_valid(type, bytes, size))
        return true;
    throw_if_out_of_memory();
    return false;
}

// --- Key paths ---

// Calls visit(component) for each component of a key path after its first
// character (the leading "/"), cut as the library cuts key paths; a "/"
// that ends the path adds none. Returns how many it visited.
template <class Visit>
size_t
for_each_path_component(std::string_view path, Visit visit)
{
    size_t count = 0;
    for (size_t start = 1; start < path.size(); ++count) {
        size_t end = ds::detail::component_end(path, start);
        visit(path.substr(start, end - start));
        start = end + 1;
    }
    return count;
}

// --- Errors (error.cpp) ---

// Stores a new error in *out when out is not null (null when there is no
// memory for it); returns -1, the refusal result of the calls that take an
// error. Never throws, so that it serves the calls' handlers of
// std::bad_alloc.
int set_error(DsDocError **out, std::string_view where, std::string_view reason) noexcept;

// --- Document data of key nodes (schema.cpp) ---

// A key node with its module's document data.
struct Node {
    const DsKeyNode *key = nullptr;
    const DsDocNode *doc = nullptr;
    const DsDocSchema *schema = nullptr;
};

// The document data of key's module and key's record in it; node.doc is
// null and reason says why when the module has no usable data (a
// hand-written module, or one of an unknown version or with broken
// records). The data of each module is checked once, on first use.
Node node_of(const DsKeyNode *key, std::string &reason);
// The YANG module name of a node.
const char *module_of(const Node &node);
// Whether a member name is "module:simple".
inline bool
qualified(std::string_view name, std::string_view module, std::string_view simple)
{
    return name.size() == module.size() + 1 + simple.size() &&
           name.substr(0, module.size()) == module && name[module.size()] == ':' &&
           name.substr(module.size() + 1) == simple;
}
// Links of the key forest; null where there is none.
const DsKeyNode *first_child(const DsKeyNode *key);
const DsKeyNode *next_sibling(const DsKeyNode *key);
const DsKeyNode *parent_of(const DsKeyNode *key);
// The top-level key nodes of every loaded module in list order, walked one
// after another: the first one, and the one after a top-level node.
const DsKeyNode *first_top_node();
const DsKeyNode *next_top_node(const DsKeyNode *key);
// The key that count components of a path name in the first loaded module
// with keys, found as ds_find_key finds it there, its levels top first in
// levels; count, or 0 when that module's forest lacks the path or is not a
// plain tree that can be matched here (ds_find_key then decides). The first
// module's forest that has a path decides it, so a result here is final.
uint32_t first_forest_match(const std::string_view *components, uint32_t count,
                            const DsKeyNode **levels);
// The node's name as a document writes it below a node of module parent
// ("module:name" when the modules differ; null parent: at the top).
std::string member_name(const Node &node, const char *parent_module);

// --- Value forms (value_forms.cpp) ---

// One scalar of an RFC 7951 document: a string (its text unescaped, NUL
// characters included), a number (its text as written), true, false, or
// [null] (the value of an empty leaf).
struct Scalar {
    enum class Kind : uint8_t { string, number, boolean, empty };
    Kind kind = Kind::string;
    std::string text; // string: the text; number: as written; boolean: "true"/"false"
};

// The library's JSON form, for the leaf type type, of a document value, or
// null with reason: the value's YANG type (value) says how the document
// writes it, own_module is the node's module (for identities written without one).
// The library's own checks (ranges, patterns, sizes) are the caller's.
JsonPtr scalar_to_library(const DsDocValue &value, const DsType *type, const char *own_module,
                          const Scalar &in, std::string &reason);

// json-c values of each scalar kind, set again for each value that the
// split converts instead of made anew, and the value's canonical text.
class LibraryScratch
{
  public:
    json_object *integer(int64_t number);
    json_object *real(double number);
    json_object *boolean(bool truth);
    json_object *text(const char *chars, size_t length);
    std::string canonical;

  private:
    JsonPtr integer_, real_, boolean_, text_;
};

// As scalar_to_library, in one of scratch's objects: valid until scratch
// makes the next value.
json_object *scalar_to_scratch(const DsDocValue &value, const DsType *type, const char *own_module,
                               const Scalar &in, LibraryScratch &scratch, std::string &reason);

// The document form of a value in the library's JSON form (as ds_c_to_jo
// gives it: a number, a string, a bitmap's bit numbers, the "bool" enum's
// boolean), canonical as YANG tools print it, or false with reason. A
// union's value takes the JSON type of the first member type that reads it.
bool library_to_scalar(const DsDocValue &value, json_object *library, Scalar &out,
                       std::string &reason);

// --- Canonical texts (canon.cpp) ---

// The canonical form of a text of the given DsDocCanon as YANG tools print
// it, or false when the text is no such value.
bool canonical_text(uint8_t canon, std::string_view text, std::string &out);

} // namespace doc

#endif

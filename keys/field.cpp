// Taking one typed value back out of a key's field text: the JSON texts of
// the key's typed levels joined by "/", without literal levels and without a
// leading "/". A field is found by its number (typed levels counted from 1,
// top level first) and handed back as a new json-c object or, converted and
// validated, as a new packed buffer. Components end where key path
// components end (component_end, shared with key_path.cpp). Failures to find
// or parse a field are logged under the key field extraction family.
#include "codec/codec.h"
#include "diag/diag.h"
#include "keys/keys.h"

#include <json-c/json.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace
{

// Components up to this many characters are copied on the stack; longer ones
// (a long string value) are copied to the heap, so the stack use stays fixed
// whatever the text holds.
constexpr size_t kStackComponentMax = 255;

void
log_no_such_field()
{
    rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_FIELD,
              "Bad extraction of data from a field no such field\n");
}

} // namespace

// Finds the n-th typed level of key and moves *cursor, which starts at the
// first character of the field text, to the first character of that level's
// component. Returns the level's field type, or null (logged) when there is
// no such level or the text ends before its component begins.
static const DsType *
locate_field(const char **cursor, const DsKeyNode *key, uint32_t n)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t count = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    const char *position = *cursor;
    uint32_t remaining = n;
    for (uint32_t i = 0; i < count && n != 0; ++i) {
        const DsKeyNode *level = levels[i];
        if (level->field_type == nullptr)
            continue;
        if (--remaining == 0) {
            *cursor = position;
            return level->field_type;
        }
        const char *end = component_end(position);
        if (*end == '\0')
            break;
        position = end + 1;
    }
    log_no_such_field();
    return nullptr;
}

// Parses the component that begins at p (up to its ending "/" or the end of
// the text) as JSON. Returns a new object, or null: logged with the component
// and json-c's error text when it does not parse or is the literal null, not
// logged when its copy, or the parse, runs out of memory.
static json_object *
parse_field_component(const char *p)
{
    size_t len = static_cast<size_t>(component_end(p) - p);
    char stack_copy[kStackComponentMax + 1];
    char *copy = stack_copy;
    if (len > kStackComponentMax) {
        copy = static_cast<char *>(std::malloc(len + 1));
        if (copy == nullptr)
            return nullptr;
    }
    std::memcpy(copy, p, len);
    copy[len] = '\0';
    json_tokener_error error = json_tokener_success;
    bool out_of_memory = false;
    json_object *jo = codec_parse(copy, &error, &out_of_memory);
    if (jo == nullptr && !out_of_memory)
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_FIELD,
                  "Bad extraction of data from a field Bad field value %s (%s)\n", copy,
                  json_tokener_error_desc(error));
    if (copy != stack_copy)
        std::free(copy);
    return jo;
}

// The JSON value of field n, as json-c reads it; not checked against the
// field type. The caller releases it with json_object_put.
extern "C" DS_EXPORT json_object *
ds_key_field_jo(const char *text, const DsKeyNode *key, uint32_t n)
{
    const char *cursor = text;
    if (locate_field(&cursor, key, n) == nullptr)
        return nullptr;
    return parse_field_component(cursor);
}

// Field n in the packed form of its field type, in a new buffer of exactly
// the type's size that the caller frees. The buffer starts zeroed, so the
// bytes that the conversion leaves unwritten (a string's tail, unused array
// slots) are zero rather than heap garbage. *size_out is written on success
// only; a value that does not convert leaves errno at EINVAL.
extern "C" DS_EXPORT void *
ds_key_field_c(const char *text, const DsKeyNode *key, uint32_t n, uint32_t *size_out)
{
    const char *cursor = text;
    const DsType *type = locate_field(&cursor, key, n);
    if (type == nullptr)
        return nullptr;
    JsonRef jo(parse_field_component(cursor));
    if (!jo)
        return nullptr;
    uint16_t size = type->size;
    // One byte at least, so that an empty packed form is not mistaken for a
    // failed allocation.
    void *buffer = std::calloc(size != 0 ? size : 1, 1);
    if (buffer == nullptr)
        return nullptr;
    if (ds_jo_to_c(type, jo.get(), buffer, size) == nullptr) {
        int saved = errno;
        std::free(buffer);
        jo.reset();
        errno = saved;
        return nullptr;
    }
    *size_out = size;
    return buffer;
}

// JSON text and canonical text. The canonical text of a value is what json-c
// prints for it after a trip to packed form and back: the trip validates the
// value, drops what the type does not carry and gives every value one form
// (enum names, doubles, field order, bitmap text). Each failure is logged
// once, in the JSON translation family, and reported by a null result and a
// code in the caller's variable, which is left alone on success.
#include "codec/codec.h"
#include "diag/diag.h"

#include <cstdint>
#include <cstring>

namespace
{

// The packed value is held on the stack; a 16-bit size bounds it.
constexpr size_t kMaxPacked = UINT16_MAX;
// Canonical texts up to this length are printed on the stack.
constexpr size_t kTextBuffer = 4096;

void
set_code(int *err, int code)
{
    if (err != nullptr)
        *err = code;
}

// Log lines name an anonymous type the way ds_type_name names a missing one.
const char *
loggable_name(const DsType *type)
{
    const char *name = ds_type_name(type);
    return name != nullptr ? name : ds_type_name(nullptr);
}

// The input's text for a log line. json-c gives none when it cannot allocate
// its print buffer, and a log call must never be handed a null text.
const char *
loggable_text(json_object *jo)
{
    const char *text = json_object_to_json_string(jo);
    return text != nullptr ? text : "";
}

// Logs and refuses a canonical text that is too long, or hands out its copy.
char *
copy_of_text(const char *text, size_t length, int *err)
{
    if (length >= DS_CANONICAL_MAX) {
        set_code(err, DS_ERR_TOO_LONG);
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_JSON,
                  "Bad translation of JSON value (value too long %.40s...)\n", text);
        return nullptr;
    }
    char *copy = strdup(text);
    if (copy == nullptr)
        set_code(err, DS_ERR_NOMEM);
    return copy;
}

void
log_reconvert(const DsType *type, json_object *jo, int *err)
{
    rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_JSON,
              "Bad translation of JSON value (can't reconvert c value of %s to %s)\n",
              loggable_text(jo), loggable_name(type));
    set_code(err, DS_ERR_BAD_JSON);
}

// The text through json-c: the object that ds_c_to_jo builds, as json-c
// prints it. What the direct printer stands in for, and what decides when
// the printer runs out of memory, so that such a failure ends exactly as it
// would have here (a json-c object that cannot be built fails the trip back).
char *
canonical_text_via_json(const DsType *type, json_object *jo, const uint8_t *packed, int *err)
{
    JsonRef back(ds_c_to_jo(type, packed, ds_type_size(type)));
    if (back == nullptr) {
        log_reconvert(type, jo, err);
        return nullptr;
    }
    const char *text = codec_print(back.get());
    if (text == nullptr) {
        set_code(err, DS_ERR_NOMEM);
        return nullptr;
    }
    return copy_of_text(text, std::strlen(text), err);
}

// The canonical text of a value already in packed form, or null with the
// code set. The text is printed straight from the packed value
// (canonical_print.cpp), byte for byte what json-c prints for the object that
// ds_c_to_jo would build, after the same checks; it is copied with strdup.
char *
canonical_text(const DsType *type, json_object *jo, const uint8_t *packed, int *err)
{
    char buffer[kTextBuffer];
    CanonicalText printed = codec_print_canonical(type, packed, buffer, sizeof buffer);
    if (printed.status == CanonicalPrint::invalid) {
        log_reconvert(type, jo, err);
        return nullptr;
    }
    if (printed.status == CanonicalPrint::no_memory)
        return canonical_text_via_json(type, jo, packed, err);
    return copy_of_text(printed.text, printed.length, err);
}

} // namespace

// Parses text. The JSON literal null gives a null object without an error;
// a syntax error is logged with the whole text and sets *err to 50; a parse
// that ran out of memory sets *err to 2.
extern "C" DS_EXPORT json_object *
ds_json_to_jo(const char *text, int *err)
{
    if (text == nullptr) {
        set_code(err, DS_ERR_BAD_JSON);
        return nullptr;
    }
    json_tokener_error code = json_tokener_success;
    bool out_of_memory = false;
    JsonRef jo(codec_parse(text, &code, &out_of_memory));
    // Like the failed copy of a canonical text, not logged: the null result
    // must not pass for the JSON literal null.
    if (out_of_memory) {
        set_code(err, DS_ERR_NOMEM);
        return nullptr;
    }
    if (code == json_tokener_success)
        return jo.release();
    rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_JSON,
              "Bad translation of JSON value (value %s error %s)\n", text,
              json_tokener_error_desc(code));
    set_code(err, DS_ERR_BAD_JSON);
    return nullptr;
}

// Consumes jo: the caller's reference is dropped before the call returns on
// every path, once jo is not null. The result is the caller's to free.
extern "C" DS_EXPORT char *
ds_canonical_jo(json_object *jo, const DsType *type, int *err)
{
    if (jo == nullptr)
        return nullptr;
    JsonRef input(jo);
    uint8_t packed[kMaxPacked];
    if (ds_jo_to_c(type, jo, packed, ds_type_size(type)) == nullptr) {
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_JSON,
                  "Bad translation of JSON value (can't convert c %s to %s)\n", loggable_text(jo),
                  loggable_name(type));
        set_code(err, DS_ERR_BAD_JSON);
        return nullptr;
    }
    return canonical_text(type, jo, packed, err);
}

// ds_json_to_jo, then ds_canonical_jo. The JSON literal null gives null with
// *err untouched.
extern "C" DS_EXPORT char *
ds_canonical_json(const char *text, const DsType *type, int *err)
{
    json_object *jo = ds_json_to_jo(text, err);
    if (jo == nullptr)
        return nullptr;
    return ds_canonical_jo(jo, type, err);
}

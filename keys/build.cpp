// Building key path texts: "/" and one component per level of a key, top
// level first, a literal level as its name and a typed level as the JSON text
// of the value that the caller hands in, packed (ds_build_key) or as a json-c
// object (ds_build_jo_key, ds_build_jo_key_v). The text goes into the caller's
// buffer through bounded appends, so a short buffer cuts it silently; misuse
// (missing, bad or surplus arguments) is logged under the key building family.
// Splitting and matching the text again is key_path.cpp's job.
#include "codec/codec.h"
#include "diag/diag.h"

#include <bsd/string.h>
#include <json-c/json.h>

#include <cstdarg>

namespace
{

// How the typed levels' values arrive in the variable arguments.
enum class ArgForm {
    packed, // const void *value, size_t size
    json,   // json_object *
};

// strlcat's result (the length it tried to make) is of no use here: a text
// cut at the buffer's end stays cut, and later appends add nothing.
void
append(char *buf, size_t buflen, const char *text)
{
    strlcat(buf, text, buflen);
}

// A typed level's name never appears in a key path; the log lines show it
// after the text built so far, which already ends with the level's "/".
void
log_too_few(const char *buf, const DsKeyNode *level)
{
    rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_BUILD,
              "Improperly built key for too few arguments at %s/%s\n", buf, level->name);
}

// Appends the JSON text of a packed argument. The object made for it is ours
// and goes as soon as its text has been copied. False (logged) when the
// argument is missing or does not convert.
bool
append_packed(char *buf, size_t buflen, const DsKeyNode *level, va_list *args)
{
    const void *value = va_arg(*args, const void *);
    if (value == nullptr) {
        log_too_few(buf, level);
        return false;
    }
    // A value directly followed by the terminating null pointer reads that
    // pointer as a size of 0, which no type accepts.
    size_t size = va_arg(*args, size_t);
    JsonRef jo(ds_c_to_jo(level->field_type, value, size));
    // A text that json-c could not print whole would make a wrong key.
    const char *text = jo ? codec_print(jo.get()) : nullptr;
    if (text == nullptr) {
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_BUILD,
                  "Improperly built key for bad argument at %s/%s\n", buf, level->name);
        return false;
    }
    append(buf, buflen, text);
    return true;
}

// Appends the JSON text of a json-c argument and takes over the caller's
// reference to it. A rejected argument is left alone: it stays the caller's.
bool
append_json(char *buf, size_t buflen, const DsKeyNode *level, va_list *args)
{
    json_object *jo = va_arg(*args, json_object *);
    if (jo == nullptr) {
        log_too_few(buf, level);
        return false;
    }
    const char *text = codec_print(jo);
    if (text == nullptr || !ds_jo_value_is_valid(level->field_type, jo)) {
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_BUILD,
                  "Improperly built key for bad argument %s, at %s/%s\n",
                  text != nullptr ? text : "", buf, level->name);
        return false;
    }
    append(buf, buflen, text);
    json_object_put(jo);
    return true;
}

// The walk shared by all three builders. args is positioned at the first
// typed level's argument; the level list holds at most DS_MAX_KEY_LEVELS, and
// a deeper key lists none, so its text stays empty and its first argument is
// taken as the surplus check.
char *
build_key(char *buf, size_t buflen, const DsKeyNode *key, va_list *args, ArgForm form)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t count = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    buf[0] = '\0';
    for (uint32_t i = 0; i < count; ++i) {
        const DsKeyNode *level = levels[i];
        append(buf, buflen, "/");
        if (level->field_type == nullptr) {
            append(buf, buflen, level->name);
            continue;
        }
        bool appended = form == ArgForm::packed ? append_packed(buf, buflen, level, args)
                                                : append_json(buf, buflen, level, args);
        if (!appended)
            return nullptr;
    }
    // Every argument is pointer-sized, so the surplus check reads one pointer
    // whichever form the list has; a surplus object stays the caller's.
    if (va_arg(*args, const void *) != nullptr)
        rk_syslog(kLogLevelError, kLogArg2, kLogArg3, DS_MSG_KEY_BUILD,
                  "Improperly built key for too many arguments for %s\n", buf);
    return buf;
}

} // namespace

// Packed arguments: for each typed level a pointer and a size_t size, then a
// null pointer. Returns buf, or null when a typed level finds no argument or
// one that does not convert; buf then holds the text up to that level's "/".
extern "C" DS_EXPORT char *
ds_build_key(char *buf, size_t buflen, const DsKeyNode *key, ...)
{
    va_list args;
    va_start(args, key);
    char *result = build_key(buf, buflen, key, &args, ArgForm::packed);
    va_end(args);
    return result;
}

// json-c arguments, one per typed level, then a null pointer. Every object
// whose text was appended is released here; see ds_build_jo_key_v.
extern "C" DS_EXPORT char *
ds_build_jo_key(char *buf, size_t buflen, const DsKeyNode *key, ...)
{
    va_list args;
    va_start(args, key);
    char *result = ds_build_jo_key_v(buf, buflen, key, args);
    va_end(args);
    return result;
}

// Reads its arguments from a copy of args (a va_list parameter cannot be
// addressed portably); the caller's list is not ended here, and the caller
// must not read on from it afterwards, as with any va_list handed down.
extern "C" DS_EXPORT char *
ds_build_jo_key_v(char *buf, size_t buflen, const DsKeyNode *key, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char *result = build_key(buf, buflen, key, &copy, ArgForm::json);
    va_end(copy);
    return result;
}

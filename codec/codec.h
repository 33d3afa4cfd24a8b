// Private helpers of the value codec, shared by its files and by the key
// functions that convert typed key values.
#ifndef DSTYPES_CODEC_CODEC_H
#define DSTYPES_CODEC_CODEC_H

#include "core/address_text.h"
#include "core/bit_text.h"
#include "core/grammar.h"
#include "core/json_ref.h"
#include "types/types.h"

#include <json-c/json.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

// json_tokener_parse_verbose, with a tokener kept per thread and released
// when the thread ends: the same object and error code for every text.
json_object *codec_parse_verbose(const char *text, json_tokener_error *error);

// Parses JSON text as json_tokener_parse_verbose does. json-c reports a
// failed allocation inside its parser only through errno: the parse then
// gives no object and no error, or an object with a member or text cut
// short. A parse that met ENOMEM is therefore refused (null, with
// *out_of_memory set); otherwise errno is left as the caller had it.
inline json_object *
codec_parse(const char *text, json_tokener_error *error, bool *out_of_memory)
{
    int saved = errno;
    errno = 0;
    *error = json_tokener_success;
    JsonRef jo(codec_parse_verbose(text, error));
    *out_of_memory = errno == ENOMEM;
    if (*out_of_memory)
        return nullptr;
    errno = saved;
    return jo.release();
}

// json_object_to_json_string, refusing a text that json-c could not print
// whole: its printer drops what it cannot append when its buffer cannot grow,
// and reports that only through errno. Null when printing ran out of memory.
inline const char *
codec_print(json_object *jo)
{
    int saved = errno;
    errno = 0;
    const char *text = json_object_to_json_string(jo);
    if (text == nullptr || errno == ENOMEM)
        return nullptr;
    errno = saved;
    return text;
}

// Moves the cursor by n bytes, both members together.
inline void
codec_advance(DsCursor *cursor, uint32_t n)
{
    cursor->p += n;
    cursor->remaining -= n;
}

// Moves the cursor by n bytes without reading them; false when fewer remain.
inline bool
codec_skip(DsCursor *cursor, uint64_t n)
{
    if (n > cursor->remaining)
        return false;
    codec_advance(cursor, static_cast<uint32_t>(n));
    return true;
}

// True when the text is accepted by the string type's pattern: a POSIX
// extended expression applied unanchored, so a match anywhere accepts. A
// pattern that does not compile is reported on standard error and accepts.
// Compiled patterns are cached per thread.
bool pattern_matches(const DsType *type, const char *text);
// The same verdict, compiling the pattern afresh (for tests and comparisons).
bool pattern_matches_uncached(const DsType *type, const char *text);
// For a text refused before its pattern was applied (by its length): what
// pattern_matches would have written to standard error, and nothing else.
void pattern_report_broken(const DsType *type);

// The verdict of a built-in pattern without the regex engine, where an exact
// matcher gives regexec's verdict: for the built-in rows' own patterns, in
// the C locale. False when no exact matcher applies; then *accepted is unset.
bool builtin_pattern_verdict(const char *pattern, const char *text, bool *accepted);
// True when builtin_pattern_verdict gives a verdict for the pattern.
bool builtin_pattern_applies(const char *pattern);

// The canonical text of a packed value of exactly the type's size, printed
// without building json-c objects: the bytes that json_object_to_json_string
// prints for what ds_c_to_jo makes of the value, after the same checks in the
// same order. The text is written into the caller's buffer, or into the heap
// once it outgrows it.
enum class CanonicalPrint { printed, invalid, no_memory };
struct FreeDeleter {
    void
    operator()(char *p) const
    {
        std::free(p);
    }
};
struct CanonicalText {
    CanonicalPrint status = CanonicalPrint::invalid;
    const char *text = nullptr; // NUL-terminated when printed
    size_t length = 0;
    std::unique_ptr<char, FreeDeleter> heap; // the text, when it left the buffer
};
CanonicalText codec_print_canonical(const DsType *type, const uint8_t *packed, char *buffer,
                                    size_t buffer_size);

// A text that starts in the caller's buffer and moves to the heap when it
// outgrows it (json_print.cpp).
class TextOut
{
  public:
    TextOut(char *buffer, size_t size) : buf_(buffer), cap_(size) {}
    TextOut(const TextOut &) = delete;
    TextOut &operator=(const TextOut &) = delete;

    // False when the text could not grow; it is then unchanged.
    bool
    append(const char *s, size_t n)
    {
        if (len_ + n >= cap_ && !grow(n))
            return false;
        std::memcpy(buf_ + len_, s, n);
        len_ += n;
        return true;
    }
    size_t
    size() const
    {
        return len_;
    }
    // Moves [from, size()) to at, dropping the bytes that were in its way
    // from at up to at + dropped, and shortens the text by dropped.
    void move_tail(size_t at, size_t dropped, size_t from);
    // Ends the text with a NUL and hands it over.
    bool finish(CanonicalText *result);

  private:
    bool grow(size_t n);

    char *buf_;
    size_t cap_;
    size_t len_ = 0;
    std::unique_ptr<char, FreeDeleter> heap_;
};

// Append what json-c's printer writes, with json_object_to_json_string's
// default flags, for a string (quoted and escaped), an integer and a double;
// false when the text could not grow.
bool codec_append_quoted(TextOut &out, const char *text);
bool codec_append_int(TextOut &out, int64_t value);
bool codec_append_double(TextOut &out, double value);

// The JSON-to-packed walk behind ds_jo_to_c; it moves the cursor past the
// value it wrote, and only validates when cursor is null.
bool jo_to_c_cursor(const DsType *type, json_object *jo, DsCursor *cursor);

#endif

// JSON text as json-c prints it, without building json-c objects: the text
// buffer the canonical printer writes into, and the bytes that
// json_object_to_json_string appends, with its default flags, for a string,
// an integer and a double:
//
// - integers as "%" PRId64;
// - strings between double quotes, escaping \b \n \r \t \f " \ and / with a
//   backslash and every other byte below 0x20 as \u00 and two lowercase hex
//   digits;
// - doubles by json-c itself, through one double object per thread that is
//   set to each value and printed, so that json-c's formatting rules and its
//   configured double format apply unchanged.
#include "codec/codec.h"
#include "core/json_escape.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace
{

// The double object of this thread, made on first use and released when the
// thread ends.
struct DoubleObject {
    JsonRef jo;
};
thread_local DoubleObject double_object;

} // namespace

void
TextOut::move_tail(size_t at, size_t dropped, size_t from)
{
    std::rotate(buf_ + at, buf_ + from, buf_ + len_);
    size_t moved = len_ - from;
    std::memmove(buf_ + at + moved, buf_ + at + moved + dropped, len_ - at - moved - dropped);
    len_ -= dropped;
}

bool
TextOut::finish(CanonicalText *result)
{
    if (len_ >= cap_ && !grow(0))
        return false;
    buf_[len_] = '\0';
    result->text = buf_;
    result->length = len_;
    result->heap = std::move(heap_);
    return true;
}

// Room for n more bytes and a NUL: at least twice the old room.
bool
TextOut::grow(size_t n)
{
    size_t cap = std::max(2 * cap_, len_ + n + 1);
    char *grown = static_cast<char *>(std::realloc(heap_.get(), cap));
    if (grown == nullptr)
        return false;
    if (heap_ == nullptr)
        std::memcpy(grown, buf_, len_);
    heap_.release();
    heap_.reset(grown);
    buf_ = grown;
    cap_ = cap;
    return true;
}

bool
codec_append_quoted(TextOut &out, const char *s)
{
    if (!out.append("\"", 1))
        return false;
    for (;;) {
        const char *start = s;
        while (!core::needs_json_escape(static_cast<unsigned char>(*s)))
            ++s;
        if (!out.append(start, static_cast<size_t>(s - start)))
            return false;
        if (*s == '\0')
            break;
        char escape[6];
        if (!out.append(escape, core::json_escape(static_cast<unsigned char>(*s++), escape)))
            return false;
    }
    return out.append("\"", 1);
}

bool
codec_append_int(TextOut &out, int64_t value)
{
    char text[24];
    int n = std::snprintf(text, sizeof text, "%" PRId64, value);
    return out.append(text, static_cast<size_t>(n));
}

bool
codec_append_double(TextOut &out, double value)
{
    if (double_object.jo == nullptr)
        double_object.jo.reset(json_object_new_double(value));
    else
        json_object_set_double(double_object.jo.get(), value);
    if (double_object.jo == nullptr)
        return false;
    const char *text = codec_print(double_object.jo.get());
    return text != nullptr && out.append(text, std::strlen(text));
}

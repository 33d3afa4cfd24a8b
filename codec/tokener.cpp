// JSON text parsing with one tokener per thread. json_tokener_parse_verbose
// allocates a tokener, its text buffer and its parse stack for every text and
// frees them again; a thread that parses many small texts spends more on that
// than on the parse. Each thread therefore keeps one tokener, reset before
// and after each text, and released when the thread ends. The result is
// exactly json_tokener_parse_verbose's: the same object and the same error
// code for every text, since both run json_tokener_parse_ex over the whole
// text with a tokener of default depth and flags.
#include "codec/codec.h"

namespace
{

struct TokenerFree {
    void
    operator()(json_tokener *tok) const
    {
        json_tokener_free(tok);
    }
};

// Made on first use; a thread that never parses never allocates one.
thread_local std::unique_ptr<json_tokener, TokenerFree> thread_tokener;

} // namespace

json_object *
codec_parse_verbose(const char *text, json_tokener_error *error)
{
    if (thread_tokener == nullptr)
        thread_tokener.reset(json_tokener_new());
    // Without a tokener of its own the thread parses the way json-c does,
    // which tries to allocate one again.
    if (thread_tokener == nullptr)
        return json_tokener_parse_verbose(text, error);
    json_tokener *tok = thread_tokener.get();
    json_object *jo = json_tokener_parse_ex(tok, text, -1);
    *error = json_tokener_get_error(tok);
    if (*error != json_tokener_success) {
        json_object_put(jo);
        jo = nullptr;
    }
    // Drops what a failed parse left on the stack, so that the next text
    // starts clean and nothing stays referenced between calls.
    json_tokener_reset(tok);
    return jo;
}

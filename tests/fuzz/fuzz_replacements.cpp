// The per-thread tokener against json_tokener_parse_verbose on any text. (The
// exact pattern matchers, the canonical printer and the address texts meet
// regexec, json-c, inet_ntop and sscanf in the codec tests, on generated
// inputs shaped for them.) Input: a byte, then (up to a NUL) the text.
#include "codec/codec.h"
#include "fuzz_support.h"

namespace
{

void
check_text(const std::string &text)
{
    json_tokener_error mine_error = json_tokener_success;
    json_tokener_error their_error = json_tokener_success;
    json_object *parsed = codec_parse_verbose(text.c_str(), &mine_error);
    json_object *their_parsed = json_tokener_parse_verbose(text.c_str(), &their_error);
    bool same = mine_error == their_error && fuzz::text_of(parsed) == fuzz::text_of(their_parsed);
    json_object_put(parsed);
    json_object_put(their_parsed);
    fuzz::require(same, "per-thread tokener parses as json-c", text);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    in.byte(); // the corpus keeps the type byte of earlier inputs
    check_text(in.rest_text());
    return 0;
}

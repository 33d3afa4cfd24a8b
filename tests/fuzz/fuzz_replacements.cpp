// The fast paths against what they stand in for: the per-thread tokener
// against json_tokener_parse_verbose, and the exact pattern matchers of the
// built-in rows against regexec. (The canonical printer and the address
// texts meet json-c, inet_ntop and sscanf in the codec tests.) A matcher runs
// on texts of any length, so that one that reads a long text more than a
// bounded number of times shows up as a slow input; regexec, whose work is
// not bounded so, only judges texts of up to kCompared bytes.
// Input: a byte choosing the built-in row, then (up to a NUL) the text.
#include "codec/codec.h"
#include "fuzz_support.h"

#include <regex.h>

namespace
{

constexpr size_t kCompared = 4096;
constexpr unsigned kMatcherRows[] = {8, 9, 11, 12, 14, 16, 19};

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

// The compiled pattern of each matcher row, made once.
const regex_t *
compiled(size_t i)
{
    static regex_t patterns[std::size(kMatcherRows)];
    static const bool ready = [] {
        for (size_t r = 0; r < std::size(kMatcherRows); ++r)
            regcomp(&patterns[r], ds_global_types[kMatcherRows[r]].p.string.regex,
                    REG_EXTENDED | REG_NOSUB);
        return true;
    }();
    (void)ready;
    return &patterns[i];
}

void
check_matcher(size_t i, const std::string &text)
{
    bool accepted = false;
    const char *pattern = ds_global_types[kMatcherRows[i]].p.string.regex;
    fuzz::require(builtin_pattern_verdict(pattern, text.c_str(), &accepted),
                  "a built-in row has its matcher", text);
    if (text.size() > kCompared)
        return;
    bool expected = regexec(compiled(i), text.c_str(), 0, nullptr, 0) == 0;
    fuzz::require(accepted == expected, "a matcher gives regexec's verdict",
                  ds_global_types[kMatcherRows[i]].name + std::string(": ") + text);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    size_t row = in.byte() % std::size(kMatcherRows);
    std::string text = in.rest_text();
    check_text(text);
    check_matcher(row, text);
    return 0;
}

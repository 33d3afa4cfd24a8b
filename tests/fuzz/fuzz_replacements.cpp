// The library's fast paths against what they stand in for: the built-in
// patterns' exact matchers against regexec, the canonical printer against
// json-c, the per-thread tokener against json_tokener_parse_verbose. (The
// address writers and the MAC reader meet inet_ntop, snprintf and sscanf in
// the codec tests, on inputs shaped for them.) Input: a byte choosing the
// printer's type, then the packed value and (up to a NUL) text, both from the
// same bytes.
#include "codec/codec.h"
#include "fuzz_support.h"

#include <regex.h>

namespace
{

void
check_text(const std::string &text)
{
    static const unsigned kRows[] = {8, 9, 11, 12, 14, 16, 19};
    static regex_t compiled[std::size(kRows)]; // once: the target runs on one thread
    static bool ready = false;
    for (size_t i = 0; i < std::size(kRows); ++i) {
        const char *pattern = ds_global_types[kRows[i]].p.string.regex;
        if (!ready)
            fuzz::require(regcomp(&compiled[i], pattern, REG_EXTENDED | REG_NOSUB) == 0,
                          "compiles");
        bool expected = regexec(&compiled[i], text.c_str(), 0, nullptr, 0) == 0;
        bool accepted = !expected;
        fuzz::require(builtin_pattern_verdict(pattern, text.c_str(), &accepted) &&
                          accepted == expected,
                      "exact matcher gives regexec's verdict in the C locale", pattern + text);
    }
    ready = true;
    json_tokener_error mine_error = json_tokener_success;
    json_tokener_error their_error = json_tokener_success;
    json_object *parsed = codec_parse_verbose(text.c_str(), &mine_error);
    json_object *their_parsed = json_tokener_parse_verbose(text.c_str(), &their_error);
    bool same = mine_error == their_error && fuzz::text_of(parsed) == fuzz::text_of(their_parsed);
    json_object_put(parsed);
    json_object_put(their_parsed);
    fuzz::require(same, "per-thread tokener parses as json-c", text);
}

void
check_printer(const DsType *type, const std::vector<uint8_t> &packed)
{
    json_object *jo = ds_c_to_jo(type, packed.data(), packed.size());
    std::string expected = jo != nullptr ? fuzz::text_of(jo) : "(invalid)";
    json_object_put(jo);
    char buffer[256];
    CanonicalText printed = codec_print_canonical(type, packed.data(), buffer, sizeof buffer);
    fuzz::require(printed.status != CanonicalPrint::no_memory, "printer has memory");
    std::string mine = printed.status == CanonicalPrint::printed ? printed.text : "(invalid)";
    fuzz::require(mine == expected, "printer prints what json-c prints", mine + " vs " + expected);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsType *type = fuzz::type_at(in.byte());
    std::vector<uint8_t> packed(in.p, in.end);
    packed.resize(type->size);
    std::string text = in.rest_text();
    check_text(text);
    if (type->size > 0)
        check_printer(type, packed);
    return 0;
}

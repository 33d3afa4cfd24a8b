// Every check of a text costs work linear in the text. Adversarial texts
// (long runs of what a check accepts, near-misses and separators repeated)
// go through each check at 1, 4, 16 and 64 KiB, and the work is counted,
// not timed: every basic block that the library's code runs (this test links
// a build of it with a hook at each block) and every byte that the C
// library's scanners read for it (their calls are wrapped at link time).
// Work per byte that grows with the length means some bytes are read again
// and again; a quadratic check quadruples it at each step.
#include "codec/codec.h"
#include "dstest.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <bsd/string.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

thread_local uint64_t work;

} // namespace

// The hook of -fsanitize-coverage=trace-pc, and the wrapped scanners, each
// counting the bytes it reads.
extern "C" {
void
__sanitizer_cov_trace_pc()
{
    ++work;
}
size_t __real_strlen(const char *s);
char *__real_strchr(const char *s, int c);
char *__real_strrchr(const char *s, int c);
char *__real_strstr(const char *haystack, const char *needle);
void *__real_memmem(const void *haystack, size_t n, const void *needle, size_t m);
void *__real_memset(void *to, int c, size_t n);
long __real_strtol(const char *s, char **end, int base);
int __real_inet_pton(int af, const char *src, void *dst);

size_t
__wrap_strlen(const char *s)
{
    size_t n = __real_strlen(s);
    work += n + 1;
    return n;
}
char *
__wrap_strchr(const char *s, int c)
{
    char *found = __real_strchr(s, c);
    work += (found != nullptr ? static_cast<size_t>(found - s) : __real_strlen(s)) + 1;
    return found;
}
char *
__wrap_strrchr(const char *s, int c)
{
    work += __real_strlen(s) + 1;
    return __real_strrchr(s, c);
}
char *
__wrap_strstr(const char *haystack, const char *needle)
{
    char *found = __real_strstr(haystack, needle);
    size_t read = found != nullptr ? static_cast<size_t>(found - haystack) + __real_strlen(needle)
                                   : __real_strlen(haystack);
    work += read + 1;
    return found;
}
void *
__wrap_memmem(const void *haystack, size_t n, const void *needle, size_t m)
{
    void *found = __real_memmem(haystack, n, needle, m);
    work += found != nullptr ? static_cast<size_t>(static_cast<const char *>(found) -
                                                   static_cast<const char *>(haystack)) +
                                   m
                             : n;
    return found;
}
void *
__wrap_memset(void *to, int c, size_t n)
{
    work += n;
    return __real_memset(to, c, n);
}
long
__wrap_strtol(const char *s, char **end, int base)
{
    char *stop = nullptr;
    long n = __real_strtol(s, &stop, base);
    work += static_cast<size_t>(stop - s) + 1;
    if (end != nullptr)
        *end = stop;
    return n;
}
int
__wrap___isoc99_sscanf(const char *s, const char *format, ...)
{
    work += __real_strlen(s) + 1;
    va_list args;
    va_start(args, format);
    int n = std::vsscanf(s, format, args);
    va_end(args);
    return n;
}
int
__wrap_inet_pton(int af, const char *src, void *dst)
{
    work += __real_strlen(src) + 1;
    return __real_inet_pton(af, src, dst);
}
}

namespace
{

// A check of one text: its verdict (accepted or not).
using Check = std::function<bool(const std::string &text)>;

// prefix, then unit repeated; refused: the verdict every length must get
// (a near-miss that is refused is read to its end), or -1 for any verdict.
struct Family {
    const char *prefix;
    const char *unit;
    int refused;
};

// Work per byte at 1, 4, 16 and 64 KiB. Each step may cost at most 1.5
// times the previous one per byte; the steps stop at the first that costs
// more, so that a quadratic check fails at 4 KiB rather than crawl to 64.
void
expect_linear(const std::string &what, const Check &check, const Family &family)
{
    double previous = 0;
    for (size_t length = 1024; length <= 65536; length *= 4) {
        std::string text = family.prefix;
        while (text.size() < length)
            text += family.unit;
        uint64_t before = work;
        bool accepted = check(text);
        double per_byte = static_cast<double>(work - before) / static_cast<double>(text.size());
        std::string where = what + " on " + family.prefix + "(" + family.unit + ")... of " +
                            std::to_string(text.size()) + " bytes";
        if (family.refused >= 0) {
            EXPECT_EQ(accepted, family.refused == 0) << where;
        }
        if (previous > 0 && per_byte > 1.5 * previous) {
            ADD_FAILURE() << where << ": " << per_byte << " steps per byte after " << previous;
            return;
        }
        previous = per_byte;
    }
}

Check
exact_matcher(unsigned row)
{
    return [row](const std::string &text) {
        bool accepted = false;
        EXPECT_TRUE(
            builtin_pattern_verdict(ds_global_types[row].p.string.regex, text.c_str(), &accepted));
        return accepted;
    };
}

// The JSON string holding the text, through ds_jo_value_is_valid.
Check
valid_string(const DsType *type)
{
    return [type](const std::string &text) {
        JsonRef jo(json_object_new_string(text.c_str()));
        return ds_jo_value_is_valid(type, jo.get());
    };
}

constexpr unsigned kWord = 8, kIpv4Str = 9, kIpv4 = 10, kDnsname = 11, kMacStr = 12, kMac = 13,
                   kIpv6Str = 14, kIpv6 = 15, kUri = 16, kUuid = 19;

// Near-misses and runs for each exact matcher: none of them holds a match.
// clang-format off
const struct { unsigned row; Family family; } kMatcherFamilies[] = {
    {kWord, {"", "!", 1}}, {kWord, {"", " .\x80", 1}},
    {kIpv4Str, {"", "1", 1}}, {kIpv4Str, {"", "1..", 1}}, {kIpv4Str, {"", "256.", 1}},
    {kIpv4Str, {"", "1.1.1.:", 1}}, {kIpv4Str, {"", "255.255.255..", 1}},
    {kDnsname, {"", "-", 1}}, {kDnsname, {"", "._", 1}},
    {kMacStr, {"", "a", 1}}, {kMacStr, {"", "1", 1}}, {kMacStr, {"", "F", 1}},
    {kMacStr, {"", ":", 1}}, {kMacStr, {"", "aaa:", 1}}, {kMacStr, {"", "a:a:a:a:a::", 1}},
    {kMacStr, {"", "a:a:a:a:ag", 1}},
    {kIpv6Str, {"", "a", 1}}, {kIpv6Str, {"", "1", 1}}, {kIpv6Str, {"", "12345:", 1}},
    {kIpv6Str, {"", "1:2:3:4:5:6:7.", 1}}, {kIpv6Str, {"", "1:2:3:4:5:6:1.2.3.x", 1}},
    {kIpv6Str, {"", "a:.", 1}},
    {kUri, {"", "http://[::1%x", 1}}, {kUri, {"", "http:///", 1}}, {kUri, {"", "http://:", 1}},
    {kUri, {"http://[", "1:", 1}}, {kUri, {"http://", ":", 1}}, {kUri, {"", "bootflash", 1}},
    {kUri, {"", "slot1:\"", 1}}, {kUri, {"", "%4", 1}}, {kUri, {"", "ftp://[1::2]x", -1}},
    {kUuid, {"", "a", 1}}, {kUuid, {"", "-", 1}}, {kUuid, {"", "aaaaaaaa-aaaa-aaaa-aaaa-aaaa-", 1}},
};
// clang-format on

} // namespace

TEST(LinearWork, ExactMatchersReadEachByteABoundedNumberOfTimes)
{
    for (const auto &m : kMatcherFamilies)
        expect_linear(ds_global_types[m.row].name, exact_matcher(m.row), m.family);
}

// A text too long for its type is refused by its length, whatever it holds;
// an address text goes through its matcher and its parser.
TEST(LinearWork, StringAndAddressValuesCostTheirLength)
{
    for (unsigned row : {7u, kWord, kIpv4Str, kDnsname, kMacStr, kIpv6Str, kUri, kUuid}) {
        for (const char *unit : {"a", "1", ":", ".", "-", "/", "%", "http://[::1%"})
            expect_linear(ds_global_types[row].name, valid_string(&ds_global_types[row]),
                          {"", unit, 1});
    }
    for (const auto &m : kMatcherFamilies) {
        unsigned converted = m.row == kIpv4Str ? kIpv4 : m.row == kMacStr ? kMac : 0;
        converted = m.row == kIpv6Str ? kIpv6 : converted;
        if (converted != 0)
            expect_linear(ds_global_types[converted].name,
                          valid_string(&ds_global_types[converted]), m.family);
    }
    // sscanf reads what it is given: long digit runs and blanks included.
    expect_linear("macaddress", valid_string(&ds_global_types[kMac]), {"1:2:3:4:5:", "0", 0});
}

TEST(LinearWork, BitRangeTextsCostTheirLength)
{
    const DsType bitmap = {"bits", DS_KIND_BITMAP, 512, {.bitmap = {4096}}};
    Check convert = [&bitmap](const std::string &text) {
        JsonRef jo(json_object_new_string(text.c_str()));
        uint8_t packed[512];
        return ds_jo_to_c(&bitmap, jo.get(), packed, sizeof packed) != nullptr;
    };
    // Ranges over the whole bitmap cost its size each, a bound of the type.
    for (const char *unit : {"1,", "0-4095,", "4095,", " 7-9,", "+1,", "00000000"})
        expect_linear("bitmap", convert, {"", unit, -1});
    expect_linear("bitmap", valid_string(&bitmap), {"", "1,", 0});
    expect_linear("bitmap", convert, {"", " ", 1});
}

namespace
{

// clang-format off
// /<string s>/<u32 n>/<string t>, and a literal chain that path texts walk.
const DsKeyNode kForest[] = {
    {0, 1, 0, "s", &ds_global_types[7], nullptr}, {-1, 1, 0, "n", &ds_global_types[0], nullptr},
    {-1, 0, 0, "t", &ds_global_types[7], &ds_global_types[0]},
};
// clang-format on

} // namespace

TEST(LinearWork, KeyPathsAndFieldTextsCostTheirLength)
{
    Check split = [](const std::string &text) {
        PathComponents parts(text.c_str());
        return parts.count() > 0 && match_components(parts.data(), parts.count(), kForest);
    };
    Check field_jo = [](const std::string &text) {
        JsonRef jo(ds_key_field_jo(text.c_str(), &kForest[2], 3));
        dstest::clear_logs();
        return jo != nullptr;
    };
    Check field_c = [](const std::string &text) {
        uint32_t size = 0;
        void *packed = ds_key_field_c(text.c_str(), &kForest[2], 3, &size);
        std::free(packed);
        dstest::clear_logs();
        return packed != nullptr;
    };
    // clang-format off
    const Family paths[] = {{"", "/a", -1}, {"", "/", -1}, {"/", "\"", -1}, {"/\"", "\\\"/", -1},
                            {"/", "a", -1}, {"", "/\"a/b\"", -1}, {"/\"", "\\", -1}};
    // clang-format on
    for (const Family &family : paths) {
        expect_linear("path", split, family);
        expect_linear("ds_key_field_jo", field_jo, family);
        expect_linear("ds_key_field_c", field_c, family);
    }
    expect_linear("ds_key_field_c", field_c, {"\"a\"/1/\"", "b", 1});
}

TEST(LinearWork, KeyForestLinkChecksCostTheirSize)
{
    // One node per character after the first: 'c' is the first child of the
    // node before it, 's' and 'b' its next sibling; a 'b' also has a child
    // link back to a node far up the way to it, which closes a circle.
    Check check = [](const std::string &text) {
        std::vector<DsKeyNode> nodes(text.size());
        std::vector<int64_t> parent(text.size(), -1);
        for (size_t i = 1; i < text.size(); ++i) {
            if (text[i] == 'c') {
                nodes[i - 1].first_child = 1;
                parent[i] = static_cast<int64_t>(i) - 1;
            } else {
                nodes[i - 1].next_sibling = 1;
                parent[i] = parent[i - 1];
            }
            if (parent[i] >= 0 && static_cast<int64_t>(i) - parent[i] <= 32767)
                nodes[i].parent = static_cast<int16_t>(parent[i] - static_cast<int64_t>(i));
            if (text[i] == 'b')
                nodes[i].first_child = static_cast<int16_t>(-std::min<size_t>(i, 30000));
        }
        std::vector<uint8_t> flags(nodes.size());
        return keys_check_links(nodes.data(), static_cast<uint32_t>(nodes.size()), flags.data(),
                                nullptr, nullptr);
    };
    expect_linear("keys_check_links", check, {"", "s", 0});
    expect_linear("keys_check_links", check, {"", "c", 0});
    expect_linear("keys_check_links", check, {"", "b", 0});
    expect_linear("keys_check_links", check, {"", "cs", 0});
}

int counted_read_json(const char *text, size_t length);

TEST(LinearWork, StrictJsonReadingCostsItsLength)
{
    // Each text is closed after its run, so that long values are walked whole.
    auto read = [](const char *close) -> Check {
        return [close](const std::string &text) {
            std::string json = text + close;
            return counted_read_json(json.data(), json.size()) == 0;
        };
    };
    expect_linear("read_json", read("1]"), {"[", "1,", 0});
    expect_linear("read_json", read("1]"), {"[", "0.5, ", 0});
    expect_linear("read_json", read("1]"), {"[", "\"a\",", 0});
    expect_linear("read_json", read("\"]"), {"[\"", "\\n\\\"", 0});
    expect_linear("read_json", read("\":1}"), {"{\"", "\\u0061", 0});
    expect_linear("read_json", read("1}"), {"{\"a\":[", "[]", 1});
    expect_linear("read_json", read("}"), {"{\"a\":1,", "\"a\":1,", 1});
    expect_linear("read_json", read(""), {"", "9", 1});
    expect_linear("read_json", read("1"), {"", " ", 0});
    expect_linear("read_json", read("]"), {"[", "1e400,", 1});
    expect_linear("read_json", read(""), {"1", " 1", 1});
}

TEST(LinearWork, CanonicalTextsAndKeyArgumentsCostTheirLength)
{
    for (unsigned row : {0u, 7u, kUuid, kMac}) {
        Check canonical = [row](const std::string &text) {
            std::string json = text[0] == '"' ? text + '"' : text;
            int err = 0;
            char *out = ds_canonical_json(json.c_str(), &ds_global_types[row], &err);
            std::free(out);
            dstest::clear_logs();
            return out != nullptr;
        };
        expect_linear("ds_canonical_json", canonical, {"\"", "a", 1});
        expect_linear("ds_canonical_json", canonical, {"", "1", 1});
    }
    Check build = [](const std::string &text) {
        char buf[256];
        json_object *jo = json_object_new_string(text.c_str());
        bool built = ds_build_jo_key(buf, sizeof buf, &kForest[0], jo, nullptr) != nullptr;
        if (!built)
            json_object_put(jo);
        dstest::clear_logs();
        return built;
    };
    expect_linear("ds_build_jo_key", build, {"", "a", 1});
}

// Key field extraction: which component of a field text a field number finds,
// how components end, the log lines of missing and unparsable fields, and the
// packed result and its size.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

const DsType *const kI32 = &ds_global_types[5];
const DsType *const kString = &ds_global_types[7];

// clang-format off
// /a/<i32 n>/b/<string s> and /k/<string s>/<i32 n>.
const DsKeyNode kForest[] = {
    {0, 1, 4, "a", nullptr, nullptr}, {-1, 1, 0, "n", kI32, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr}, {-1, 0, 0, "s", kString, kI32},
    {0, 1, 0, "k", nullptr, nullptr}, {-1, 1, 0, "s", kString, nullptr},
    {-1, 0, 0, "n", kI32, kI32},
};
// clang-format on
const DsKeyNode *const kIntThenString = &kForest[3];
const DsKeyNode *const kStringThenInt = &kForest[6];

const char kNoSuchField[] = "Bad extraction of data from a field no such field\n";

std::string
bad_value(const std::string &component, const std::string &reason)
{
    return "Bad extraction of data from a field Bad field value " + component + " (" + reason +
           ")\n";
}

struct FieldCase {
    const char *name;
    const DsKeyNode *key;
    const char *text;
    uint32_t n;
    const char *json; // null when the field is not found or does not parse
    std::string log;  // empty when nothing is logged
};

} // namespace

TEST(FieldText, FieldNumbersCountTypedLevelsAndComponentsEndLikePathComponents)
{
    // Where a component ends is the path splitter's rule (KeyPathText); here
    // only that the field's own text is what gets parsed.
    const FieldCase cases[] = {
        {"first typed level", kIntThenString, "5/\"x\"", 1, "5", ""},
        {"second typed level skips the literal one", kIntThenString, "5/\"x\"", 2, "\"x\"", ""},
        {"past the last typed level", kIntThenString, "5/\"x\"", 3, nullptr, kNoSuchField},
        {"field 0", kIntThenString, "5/\"x\"", 0, nullptr, kNoSuchField},
        {"text ends before the field", kIntThenString, "5", 2, nullptr, kNoSuchField},
        {"empty field after a trailing slash", kIntThenString, "5/", 2, nullptr,
         bad_value("", "unexpected end of data")},
        {"a leading slash makes field 1 empty", kIntThenString, "/5/\"x\"", 1, nullptr,
         bad_value("", "unexpected end of data")},
        {"literal level name is no JSON", kIntThenString, "a/5", 1, nullptr,
         bad_value("a", "unexpected character")},
        {"the JSON literal null", kIntThenString, "null/\"x\"", 1, nullptr,
         bad_value("null", "success")},
        {"unterminated string runs to the end", kStringThenInt, "\"a/7", 1, nullptr,
         bad_value("\"a/7", "unexpected end of data")},
        {"a value its type rejects comes back unchecked", kIntThenString, "\"5\"/\"x\"", 1, "\"5\"",
         ""},
        {"plain slash inside a string, the string itself", kStringThenInt, "\"a/b\"/7", 1,
         "\"a\\/b\"", ""},
        {"escaped trailing backslash, the string itself", kStringThenInt, "\"x\\\\\"/7", 1,
         "\"x\\\\\"", ""},
        {"nothing after the asked field is read", kStringThenInt, "\"x\"/7/{", 2, "7", ""},
    };
    for (const FieldCase &c : cases) {
        SCOPED_TRACE(c.name);
        json_object *jo = ds_key_field_jo(c.text, c.key, c.n);
        EXPECT_EQ(dstest::json_text(jo), c.json != nullptr ? c.json : "(null)");
        json_object_put(jo);
        if (c.log.empty())
            dstest::expect_no_log();
        else
            dstest::expect_one_log(DS_MSG_KEY_FIELD, c.log);
    }
}

TEST(FieldPacked, ValueComesBackInItsTypesPackedFormOrSizeOutStaysAlone)
{
    const std::string zeros = dstest::hex(std::vector<uint8_t>(63).data(), 63);
    const struct {
        const char *name;
        const DsKeyNode *key;
        std::string text;
        uint32_t n;
        std::string bytes; // empty: null result
        std::string log;   // empty: nothing logged (errno EINVAL after a failure)
    } cases[] = {
        {"negative int", kIntThenString, "-2/\"x\"", 1, "fe ff ff ff", ""},
        // The string's tail past its NUL reads as zero, not as heap garbage.
        {"string of a 65-byte type", kIntThenString, "5/\"hi\"", 2, "68 69 " + zeros, ""},
        {"string for an int level", kIntThenString, "\"5\"/\"x\"", 1, "", ""},
        // Components up to 255 characters are copied on the stack, longer ones on the heap.
        {"255 characters", kIntThenString, "5/\"" + std::string(253, 'y') + "\"", 2, "", ""},
        {"300 characters", kIntThenString, "5/\"" + std::string(298, 'y') + "\"", 2, "", ""},
        {"no such field", kIntThenString, "5/\"x\"", 3, "", kNoSuchField},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t size = 12345;
        errno = 0;
        void *packed = ds_key_field_c(c.text.c_str(), c.key, c.n, &size);
        EXPECT_EQ(packed == nullptr ? "" : dstest::hex(packed, size), c.bytes);
        if (packed == nullptr) {
            EXPECT_EQ(size, 12345u) << "size written on failure";
            EXPECT_TRUE(!c.log.empty() || errno == EINVAL) << errno;
        }
        std::free(packed);
        if (c.log.empty())
            dstest::expect_no_log();
        else
            dstest::expect_one_log(DS_MSG_KEY_FIELD, c.log);
    }
}

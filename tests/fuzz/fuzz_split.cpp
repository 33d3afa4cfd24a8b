// A document through ds_doc_split over the document test module
// (tests/document/doc_fixture.cpp, the only module in this target's module
// directory), whole or as the body at one of a few key
// paths (the first byte picks). Properties: a refused document hands out no
// entry and says where and why; an accepted one hands out entries whose key
// paths find their keys and whose values are valid packed values of the
// keys' leaf types, and splitting it again gives the same entries; the
// entries join (every one is taken) into a document that splits into the
// same entries, plus only the state defaults that the print adds, and that
// prints again the same.
#include "dstypes_doc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace fuzz
{

void
require(bool holds, const char *property, const std::string &detail = "")
{
    if (holds)
        return;
    std::fprintf(stderr, "property violated: %s\n%s\n", property, detail.c_str());
    std::abort();
}

} // namespace fuzz

namespace
{

const char *const kAt[] = {nullptr,         "/dt:top",      "/dt:top/item/\"a\"", "/dt:top/item",
                           "/dt:top/count", "/dt:top/tags", "/dt:top/opts"};

// An entry as the fuzz target keeps it: the path, a NUL, then the value.
using Entries = std::vector<std::string>;

int
record(const DsDocEntry *entry, void *arg)
{
    auto *lines = static_cast<Entries *>(arg);
    std::string path(entry->path, entry->path_len);
    fuzz::require(std::strlen(entry->path) == entry->path_len,
                  "the path is one NUL-terminated text", path);
    fuzz::require(ds_find_key(entry->path, false) == entry->key, "the path finds its key", path);
    const DsType *type = ds_key_leaf_type(entry->key);
    if (entry->value != nullptr) {
        fuzz::require(
            type != nullptr && entry->value_len == type->size &&
                ds_c_value_is_valid(type, entry->value, static_cast<uint32_t>(entry->value_len)),
            "a value is a valid packed value of the key's leaf type", path);
        path.push_back('\0');
        path.append(static_cast<const char *>(entry->value), entry->value_len);
    }
    lines->push_back(path);
    return 0;
}

// The document that the entries join into.
std::string
joined(const Entries &entries, const char *at)
{
    DsDocError *error = nullptr;
    DsDocJoin *join = ds_doc_join_new(at, &error);
    fuzz::require(join != nullptr, "a join starts where a split did");
    fuzz::require(error == nullptr, "a join that starts sets no error");
    for (const std::string &entry : entries) {
        size_t nul = entry.find('\0');
        std::string path = entry.substr(0, nul);
        const char *value = nul == std::string::npos ? nullptr : entry.data() + nul + 1;
        size_t len = nul == std::string::npos ? 0 : entry.size() - nul - 1;
        int added = ds_doc_join_add(join, path.c_str(), value, len, &error);
        fuzz::require(added == 0, "every entry of a split joins",
                      path + ": " + (error ? ds_doc_error_reason(error) : ""));
    }
    char *text = ds_doc_join_print(join, 0, nullptr);
    fuzz::require(text != nullptr, "the join prints");
    std::string out(text);
    std::free(text);
    ds_doc_join_free(join);
    return out;
}

// join, split, join: the entries come back, and the print is a fixed point.
void
round_trip(Entries first, const char *at)
{
    // A split may take a list's body; a join prints one entry at the most.
    DsDocError *error = nullptr;
    DsDocJoin *probe = ds_doc_join_new(at, &error);
    if (probe == nullptr) {
        fuzz::require(
            std::strcmp(ds_doc_error_reason(error), "names a list, not one of its entries") == 0,
            "a join starts wherever a split did but at a list", at);
        ds_doc_error_free(error);
        return;
    }
    ds_doc_join_free(probe);
    std::string printed = joined(first, at);
    Entries again;
    int result = ds_doc_split(printed.data(), printed.size(), at, record, &again, &error);
    fuzz::require(result == 0, "a joined document splits",
                  printed + (error ? ds_doc_error_reason(error) : ""));
    fuzz::require(joined(again, at) == printed, "a joined document prints the same again", printed);
    std::sort(first.begin(), first.end());
    std::sort(again.begin(), again.end());
    fuzz::require(std::includes(again.begin(), again.end(), first.begin(), first.end()),
                  "a joined document splits into the entries it was joined from", printed);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *at = size > 0 ? kAt[data[0] % (sizeof kAt / sizeof kAt[0])] : nullptr;
    const char *text = size > 0 ? reinterpret_cast<const char *>(data + 1) : "";
    size_t length = size > 0 ? size - 1 : 0;
    Entries first, second;
    DsDocError *error = nullptr;
    int result = ds_doc_split(text, length, at, record, &first, &error);
    if (result != 0) {
        fuzz::require(result == -1 && first.empty() && error != nullptr &&
                          *ds_doc_error_reason(error) != '\0',
                      "a refused document gives no entry, and a reason");
        ds_doc_error_free(error);
        return 0;
    }
    fuzz::require(ds_doc_split(text, length, at, record, &second, nullptr) == 0 && first == second,
                  "a document splits the same twice");
    round_trip(std::move(first), at);
    return 0;
}

// A document through ds_doc_split over the document test module
// (tests/document/doc_fixture.cpp), whole or as the body at one of a few key
// paths (the first byte picks). Properties: a refused document hands out no
// entry and says where and why; an accepted one hands out entries whose key
// paths find their keys and whose values are valid packed values of the
// keys' leaf types, and splitting it again gives the same entries.
#include "fuzz_support.h"

#include "dstypes_doc.h"

#include <dlfcn.h>

#include <cstring>

namespace
{

DsModule builtin_record, fixture_record;

void
use_doc_module()
{
    if (module_list != nullptr)
        return;
    void *handle = dlopen(DOC_FIXTURE_MODULE, RTLD_NOW);
    fuzz::require(handle != nullptr, "the document test module loads", DOC_FIXTURE_MODULE);
    fixture_record = DsModule{
        nullptr, 0,     0, nullptr, static_cast<const DsKeyNode *>(dlsym(handle, "ds_keys")),
        nullptr, handle};
    builtin_record = DsModule{
        &fixture_record, ds_global_type_count, 0, ds_global_types, nullptr, nullptr, nullptr};
    module_list = &builtin_record;
}

const char *const kAt[] = {nullptr,         "/dt:top",      "/dt:top/item/\"a\"", "/dt:top/item",
                           "/dt:top/count", "/dt:top/tags", "/dt:top/opts"};

int
record(const DsDocEntry *entry, void *arg)
{
    auto *lines = static_cast<std::vector<std::string> *>(arg);
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
        path.append(static_cast<const char *>(entry->value), entry->value_len);
    }
    lines->push_back(path);
    return 0;
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    use_doc_module();
    const char *at = size > 0 ? kAt[data[0] % (sizeof kAt / sizeof kAt[0])] : nullptr;
    const char *text = size > 0 ? reinterpret_cast<const char *>(data + 1) : "";
    size_t length = size > 0 ? size - 1 : 0;
    std::vector<std::string> first, second;
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
    return 0;
}

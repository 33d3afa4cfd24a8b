// Module, type and key helpers over the library's lookups. Modules are named
// by the file they were loaded from, which the dynamic loader knows for
// every handle; key nodes and types are traced back to their module through
// the address they live at.
#include "dstool.h"

#include <dlfcn.h>
#include <link.h>

#include <unistd.h>

#include <cstdio>
#include <new>

#ifndef DSTOOL_MODULE_DIR
#error "DSTOOL_MODULE_DIR must name the module directory the library reads"
#endif

namespace dstool
{

namespace
{

std::string
base_name(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// The loader reports a module directory it cannot open with perror. That
// line is taken off standard error while the list is built and becomes the
// reason of the tool's own message.
static std::string
build_module_list()
{
    std::fflush(stderr);
    FILE *capture = std::tmpfile();
    int saved = capture == nullptr ? -1 : dup(2);
    if (saved >= 0)
        dup2(fileno(capture), 2);
    // Any lookup builds the list; the empty name is never a type.
    (void)ds_find_type("");
    if (saved < 0) {
        if (capture != nullptr)
            std::fclose(capture);
        return "";
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    std::rewind(capture);
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, capture)) > 0)
        text.append(chunk, got);
    std::fclose(capture);
    if (module_list != nullptr) {
        // Not a load failure: hand whatever was written on unchanged.
        std::fwrite(text.data(), 1, text.size(), stderr);
        return "";
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

const DsModule *
loaded_modules()
{
    if (module_list == nullptr) {
        std::string reason = build_module_list();
        // perror's line already names the directory.
        if (module_list == nullptr && reason.empty())
            fail(kStatusFailed, DSTOOL_MODULE_DIR, "the module list could not be built");
        // The library finds no type at all, not even a built-in one, until
        // the directory exists: say so once instead of failing each lookup.
        if (module_list == nullptr)
            fail(kStatusFailed, "",
                 printable(reason, 200) + "; built-in types are unavailable until it exists");
    }
    return module_list;
}

std::string
module_path(const DsModule *module)
{
    if (module->handle == nullptr)
        return "";
    struct link_map *map = nullptr;
    if (dlinfo(module->handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr)
        return "";
    return map->l_name;
}

std::string
module_name(const DsModule *module)
{
    if (module->handle == nullptr)
        return "builtin";
    std::string path = module_path(module);
    return path.empty() ? "(unknown)" : base_name(path);
}

std::string
module_of(const void *address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return "(unknown)";
    return base_name(info.dli_fname);
}

const DsModule *
selected_module(const Invocation &inv)
{
    auto option = inv.options.find("--module");
    if (option == inv.options.end())
        return nullptr;
    const std::string &file = option->second;
    const DsModule *head = loaded_modules();
    void *handle = nullptr;
    if (file != "builtin")
        handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    const DsModule *match = nullptr;
    for (const DsModule *m = head; m != nullptr && match == nullptr; m = m->next) {
        if (file == "builtin" && m->handle == nullptr)
            match = m;
        else if (handle != nullptr && m->handle == handle)
            match = m;
        else if (m->handle != nullptr && (module_name(m) == file || module_path(m) == file))
            match = m;
    }
    if (handle != nullptr)
        dlclose(handle);
    if (match == nullptr)
        fail(kStatusFailed, printable(file), "no loaded module matches this file");
    return match;
}

bool
module_holds(const DsModule *module, const void *address)
{
    if (module->handle == nullptr)
        return false;
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return false;
    return module_path(module) == info.dli_fname;
}

const DsType *
find_type_or_fail(const std::string &name)
{
    loaded_modules();
    const DsType *type = ds_find_type(name.c_str());
    if (type == nullptr)
        fail(kStatusFailed, "type \"" + printable(name) + "\"", "no such type");
    return type;
}

std::string
type_label(const DsType *type)
{
    if (type == nullptr)
        return "-";
    const char *name = ds_type_name(type);
    return name == nullptr ? "(anonymous " + kind_label(type->kind) + ")" : name;
}

std::string
kind_label(uint32_t kind)
{
    if (kind == DS_KIND_CONVERTED)
        return "converted";
    std::string name = ds__kind_name(kind);
    if (name == "invalid")
        return "invalid (" + std::to_string(kind) + ")";
    return name;
}

std::vector<const DsKeyNode *>
all_keys()
{
    loaded_modules();
    // The walk runs inside the library, which is built without exceptions:
    // an allocation failure is noted and rethrown once the walk is over.
    std::vector<const DsKeyNode *> nodes;
    bool out_of_memory = false;
    ds::all_keys([&](ds::Key key) noexcept {
        try {
            nodes.push_back(key.get());
        } catch (...) {
            out_of_memory = true;
        }
    });
    if (out_of_memory)
        throw std::bad_alloc();
    return nodes;
}

std::string
key_name(const DsKeyNode *key)
{
    std::string buf(256, '\0');
    while (ds_key_name(buf.data(), buf.size(), key) == nullptr) {
        if (buf.size() >= (1u << 24))
            return "(name too long)";
        buf.resize(buf.size() * 2);
    }
    buf.resize(buf.find('\0'));
    return buf;
}

const DsKeyNode *
find_key_by_name(const std::string &name)
{
    for (const DsKeyNode *key : all_keys()) {
        if (key_name(key) == name)
            return key;
    }
    fail(kStatusFailed, "key \"" + printable(name) + "\"",
         "no key has this name (see dstool keys)");
}

const DsKeyNode *
find_leaf_key_or_fail(const std::string &path)
{
    loaded_modules();
    const DsKeyNode *key = ds_find_key(path.c_str(), true);
    if (key != nullptr)
        return key;
    const DsKeyNode *group = ds_find_key(path.c_str(), false);
    if (group == nullptr)
        fail(kStatusFailed, printable(path), "no key has this path");
    fail(kStatusFailed, printable(path),
         "the key " + printable(key_name(group)) + " stores no value (it has no leaf type)");
}

std::vector<const DsKeyNode *>
typed_levels(const DsKeyNode *key)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    if (depth == 0)
        fail(kStatusFailed, key_name(key),
             "key deeper than " + std::to_string(DS_MAX_KEY_LEVELS) + " levels");
    std::vector<const DsKeyNode *> typed;
    for (uint32_t i = 0; i < depth; ++i) {
        if (levels[i]->field_type != nullptr)
            typed.push_back(levels[i]);
    }
    return typed;
}

std::string
typed_levels_text(const DsKeyNode *key)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    if (depth == 0)
        return "(deeper than " + std::to_string(DS_MAX_KEY_LEVELS) + " levels)";
    std::string text;
    for (uint32_t i = 0; i < depth; ++i) {
        if (levels[i]->field_type == nullptr)
            continue;
        if (!text.empty())
            text += ", ";
        text += std::string(levels[i]->name ? levels[i]->name : "(unnamed)") + " (" +
                type_label(levels[i]->field_type) + ")";
    }
    return text.empty() ? "-" : text;
}

JsonPtr
levels_json(const DsKeyNode *key)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    JsonPtr array = json_array_or_throw();
    for (uint32_t i = 0; i < depth; ++i) {
        JsonPtr level = json_object_or_throw();
        json_set(level.get(), "name", json_text_or_null(levels[i]->name));
        const DsType *type = levels[i]->field_type;
        json_set(level.get(), "field_type", type_reference(type));
        json_append(array.get(), level.release());
    }
    return array;
}

std::string
level_label(const DsKeyNode *key, const DsKeyNode *level)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    uint32_t number = 1;
    while (number <= depth && levels[number - 1] != level)
        ++number;
    return "level " + std::to_string(number) + " (" + (level->name ? level->name : "(unnamed)") +
           ": " + type_label(level->field_type) + ")";
}

} // namespace dstool

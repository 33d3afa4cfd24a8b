// "dstool types" and "dstool type": the type tables of the module list, and
// the whole description of one type.
#include "dstool.h"

#include <dlfcn.h>

namespace dstool
{

namespace
{

// --module FILE: "builtin", a file the loader already has open as one of
// the modules, or a module's file name or path as it was loaded.
const DsModule *
match_module(const DsModule *head, const std::string &file)
{
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

} // namespace

int
cmd_types(const Invocation &inv)
{
    const DsModule *head = loaded_modules();
    const DsModule *only = nullptr;
    auto option = inv.options.find("--module");
    if (option != inv.options.end())
        only = match_module(head, option->second);
    Table table{{"MODULE", "NAME", "KIND", "SIZE", "PARAMETERS"},
                {"module", "name", "kind", "size", "parameters"},
                {false, false, false, true, false},
                {},
                {}};
    for (const DsModule *m = head; m != nullptr; m = m->next) {
        if (only != nullptr && m != only)
            continue;
        std::string name = module_name(m);
        for (uint16_t i = 0; m->types != nullptr && i < m->type_count; ++i) {
            const DsType *type = &m->types[i];
            table.rows.push_back({name, type_label(type), kind_label(type->kind),
                                  std::to_string(type->size), type_summary(type)});
            JsonPtr extra = json_object_or_throw();
            json_set(extra.get(), "name", json_text_or_null(ds_type_name(type)));
            json_set(extra.get(), "parameters", type_parameters(type).release());
            table.extra.push_back(std::move(extra));
        }
    }
    print(inv.has("--json") ? table.json() : table.text());
    return kStatusOk;
}

int
cmd_type(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    JsonPtr description = describe_type(type);
    print(inv.has("--json") ? json_pretty(description.get()) + "\n"
                            : describe_text(description.get()));
    return kStatusOk;
}

} // namespace dstool

// "dstool types" and "dstool type": the type tables of the module list, and
// the whole description of one type, found by its name or, for the anonymous
// leaf types that generated modules give their keys, by a key path.
#include "dstool.h"

namespace dstool
{

int
cmd_types(const Invocation &inv)
{
    const DsModule *head = loaded_modules();
    const DsModule *only = selected_module(inv);
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
    auto key = inv.options.find("--key");
    const DsType *type = key == inv.options.end()
                             ? find_type_or_fail(inv.args[0])
                             : ds_key_leaf_type(find_leaf_key_or_fail(key->second));
    JsonPtr description = describe_type(type);
    print(inv.has("--json") ? json_pretty(description.get()) + "\n"
                            : describe_text(description.get()));
    return kStatusOk;
}

} // namespace dstool

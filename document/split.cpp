// ds_doc_split: a document (or the body of the node at a key path) checked
// whole by one pass of the split walk, then handed out entry by entry by a
// second. The key path of a body is read here: each typed component is
// checked against its level and written again as ds_build_key writes it, so
// that the entries' paths are the library's whatever the caller's spelling.
#include "document/split_walk.h"

#include <new>

namespace doc
{

namespace
{

// The canonical JSON text of a typed component under its field type.
bool
canonical_component(const DsType *type, std::string_view component, std::string &out)
{
    std::vector<unsigned char> packed(ds_type_size(type), 0);
    errno = 0;
    JsonPtr value(json_tokener_parse(std::string(component).c_str()));
    if (value == nullptr ||
        ds_jo_to_c(type, value.get(), packed.data(), packed.size()) == nullptr) {
        throw_if_out_of_memory();
        return false;
    }
    JsonPtr back(made(ds_c_to_jo(type, packed.data(), packed.size())));
    out = made(json_object_to_json_string(back.get()));
    return true;
}

// What a key path given as at names: the node of the body's one member,
// the key path of that member, and for a list entry its keys.
struct Target {
    const DsKeyNode *member = nullptr;
    std::string prefix;
    SplitWalk::Keys keys;
    bool entry = false;
};

bool
resolve_at(const char *at, Target &target, std::string &reason)
{
    const DsKeyNode *key = ds_find_key(at, false);
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = key != nullptr ? ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS) : 0;
    std::vector<std::string_view> components;
    for_each_path_component(at, [&](std::string_view c) { components.push_back(c); });
    if (key == nullptr || depth == 0 || components.size() != depth) {
        reason = key == nullptr ? "no key of a loaded module has this path"
                                : "the path is deeper than 32 levels";
        return false;
    }
    Node node = node_of(key, reason);
    if (node.doc == nullptr)
        return false;
    const DsKeyNode *below = first_child(key);
    if (node.doc->kind == DS_DOC_LIST_KEY && below != nullptr && below->field_type != nullptr) {
        reason = "the path names a list entry by some of its keys only";
        return false;
    }
    target.entry = node.doc->kind == DS_DOC_LIST_KEY;
    uint32_t member_depth = depth;
    while (target.entry && levels[member_depth - 1]->field_type != nullptr)
        --member_depth;
    target.member = levels[member_depth - 1];
    for (uint32_t i = 0; i < depth; ++i) {
        std::string text(components[i]);
        if (levels[i]->field_type != nullptr &&
            !canonical_component(levels[i]->field_type, components[i], text)) {
            reason = "component " + std::to_string(i + 1) + " is no value of its level (" +
                     std::string(levels[i]->name) + ")";
            return false;
        }
        if (i < member_depth)
            target.prefix += "/" + text;
        else
            target.keys.texts.push_back(text);
    }
    return true;
}

int
run(const char *text, size_t len, const char *at, DsDocEntryFn fn, void *arg, DsDocError **error)
{
    SplitWalk walk(text, len, fn, arg);
    bool whole = at == nullptr || *at == '\0';
    Target target;
    std::string reason;
    if (!whole && !resolve_at(at, target, reason))
        return set_error(error, at, reason);
    const SplitWalk::Keys *only = target.entry ? &target.keys : nullptr;
    auto pass = [&](bool emit) {
        return whole ? walk.whole(emit) : walk.body(emit, target.member, target.prefix, only);
    };
    if (!pass(false))
        return set_error(error, walk.where(), walk.reason());
    if (pass(true))
        return 0;
    if (walk.stopped() != 0)
        return walk.stopped();
    return set_error(error, walk.where(), walk.reason());
}

} // namespace

} // namespace doc

extern "C" DOC_EXPORT int
ds_doc_split(const char *text, size_t len, const char *at, DsDocEntryFn fn, void *arg,
             DsDocError **error)
{
    if (error != nullptr)
        *error = nullptr;
    if ((text == nullptr && len != 0) || fn == nullptr)
        return doc::set_error(error, "", "no text or no callback");
    try {
        return doc::run(text != nullptr ? text : "", len, at, fn, arg, error);
    } catch (const std::bad_alloc &) {
        return doc::set_error(error, "", "out of memory");
    }
}

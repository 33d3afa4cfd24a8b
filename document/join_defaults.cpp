// The members that YANG validation adds to a data tree where no entry gave
// them: the defaults of state leaves and leaf-lists, and the containers that
// hold such defaults (nodes under a "when" condition get none, since the
// document data cannot tell where it holds). Also how a document value
// prints. The printer (join_print.cpp) merges the defaults with the data.
#include "document/join_tree.h"
#include "dstypes_json_chars.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace doc
{

namespace
{

bool
is_state(const Node &node)
{
    return (node.doc->flags & DS_DOC_CONFIG) == 0;
}

// The printed values of a default text (compact RFC 7951 JSON: one value, or
// an array of them for a leaf-list), NUL between two; their number.
uint32_t
default_values(const char *text, std::string &out)
{
    JsonPtr jo(json_tokener_parse(text));
    if (jo == nullptr)
        return 0;
    bool array = json_object_is_type(jo.get(), json_type_array);
    size_t count = array ? json_object_array_length(jo.get()) : 1;
    for (size_t i = 0; i < count; ++i) {
        json_object *item = array ? json_object_array_get_idx(jo.get(), i) : jo.get();
        Scalar s;
        s.text = json_object_get_string(item);
        if (json_object_is_type(item, json_type_boolean))
            s.kind = Scalar::Kind::boolean;
        else if (json_object_is_type(item, json_type_int) ||
                 json_object_is_type(item, json_type_double))
            s.kind = Scalar::Kind::number;
        if (i != 0)
            out += '\0';
        append_scalar(out, s);
    }
    return static_cast<uint32_t>(count);
}

// Whether a container that no entry gave holds a state default that
// validation would add, so that it is printed.
bool
holds_state_default(const DsKeyNode *container)
{
    std::string reason;
    for (const DsKeyNode *k = first_child(container); k != nullptr; k = next_sibling(k)) {
        Node node = node_of(k, reason);
        if (node.doc == nullptr || node.doc->choices != nullptr ||
            (node.doc->flags & DS_DOC_WHEN) != 0)
            continue;
        uint8_t kind = node.doc->kind;
        if ((kind == DS_DOC_LEAF || kind == DS_DOC_LEAF_LIST) && node.doc->default_json &&
            is_state(node))
            return true;
        if (kind == DS_DOC_CONTAINER && holds_state_default(k))
            return true;
    }
    return false;
}

// Whether a node inside a choice has a sibling in its case among the data.
bool
case_taken(const Node &node, const JoinNode *data)
{
    if (node.doc->choices == nullptr)
        return true;
    if (data == nullptr)
        return false;
    for (const JoinNode *child = data->first; child != nullptr; child = child->next)
        if (child->node.doc->choices != nullptr &&
            std::strcmp(child->node.doc->choices, node.doc->choices) == 0)
            return true;
    return false;
}

// The default that validation would add for the schema node k, if any.
bool
default_of(const DsKeyNode *k, Default &out)
{
    std::string reason;
    Node node = node_of(k, reason);
    // A node under a "when" condition exists only where the condition
    // holds, which the document data cannot tell: no default is added.
    if (node.doc == nullptr || !is_state(node) || (node.doc->flags & DS_DOC_WHEN) != 0)
        return false;
    out.node = node;
    uint8_t kind = node.doc->kind;
    if ((kind == DS_DOC_LEAF || kind == DS_DOC_LEAF_LIST) && node.doc->default_json) {
        out.count = default_values(node.doc->default_json, out.values);
        return true;
    }
    out.container = kind == DS_DOC_CONTAINER && holds_state_default(k);
    return out.container;
}

} // namespace

bool
default_applies(const Default &d, const JoinNode *data)
{
    return case_taken(d.node, data) && find_child(data, d.node.key) == nullptr;
}

std::vector<Default>
defaults_below(const DsKeyNode *parent)
{
    std::vector<Default> out;
    const DsKeyNode *k = parent != nullptr ? first_child(parent) : first_top_node();
    for (; k != nullptr; k = parent != nullptr ? next_sibling(k) : next_top_node(k)) {
        Default d;
        if (default_of(k, d))
            out.push_back(std::move(d));
    }
    std::stable_sort(out.begin(), out.end(), [](const Default &a, const Default &b) {
        return a.node.doc->order < b.node.doc->order;
    });
    return out;
}

void
append_json_string(std::string &out, std::string_view text)
{
    out += '"';
    const char *at = text.data(), *end = at + text.size();
    const char *plain = at; // the start of the run of characters written as they are
    while (at < end) {
        at = ds::detail::plain_string_run(at, end);
        if (at == end)
            break;
        auto c = static_cast<unsigned char>(*at++);
        if (c >= 0x80)
            continue; // UTF-8 stands as it is
        out.append(plain, at - 1);
        plain = at;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
        out += escape;
    }
    out.append(plain, end);
    out += '"';
}

void
append_scalar(std::string &out, const Scalar &scalar)
{
    switch (scalar.kind) {
    case Scalar::Kind::string:
        append_json_string(out, scalar.text);
        return;
    case Scalar::Kind::empty:
        out += "[null]";
        return;
    default:
        out += scalar.text;
    }
}

} // namespace doc

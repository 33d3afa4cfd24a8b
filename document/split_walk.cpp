// The split walk over the document's structure: objects, members, lists and
// their entries, each member found among the key forest's children of the
// node around it. Values (leaves, leaf-lists, list keys) are read in
// split_values.cpp. Entries are handed out only on the second pass.
#include "document/split_walk.h"

#include <cstring>

namespace doc
{

namespace
{

// Whether name is the NUL-terminated text, without measuring the text first.
bool
same(std::string_view name, const char *text)
{
    if (!name.empty() && name[0] != text[0])
        return false;
    return std::strncmp(text, name.data(), name.size()) == 0 && text[name.size()] == '\0';
}

// Whether a document's member name names the node: its key name, or, where
// that has no module (a node of its parent's module), also "module:name",
// which YANG tools take though RFC 7951 writes the simple form.
bool
names(std::string_view name, const DsKeyNode *key, const char *simple)
{
    if (same(name, key->name))
        return true;
    size_t colon = name.find(':');
    if (colon == std::string_view::npos || std::strchr(key->name, ':') != nullptr ||
        name.substr(colon + 1) != simple)
        return false;
    std::string why;
    Node node = node_of(key, why);
    return node.doc != nullptr && qualified(name, module_of(node), simple);
}

const DsKeyNode *
next_of(const DsKeyNode *parent, const DsKeyNode *child)
{
    return parent != nullptr ? next_sibling(child) : next_top_node(child);
}

// The key node among the children of parent (the top-level nodes of every
// module when parent is null) that a document names name; typed levels are
// not members. The search starts at hint (the sibling after the member
// before, as documents mostly follow the schema's order) and goes round.
const DsKeyNode *
find_child(const DsKeyNode *parent, std::string_view name, const DsKeyNode *hint)
{
    const DsKeyNode *first = parent != nullptr ? first_child(parent) : first_top_node();
    for (const DsKeyNode *child = hint != nullptr ? hint : first; child != nullptr;
         child = next_of(parent, child))
        if (child->field_type == nullptr && names(name, child, child->name))
            return child;
    for (const DsKeyNode *child = first; hint != nullptr && child != hint;
         child = next_of(parent, child))
        if (child->field_type == nullptr && names(name, child, child->name))
            return child;
    return nullptr;
}

// The typed level from first on (a list entry's keys) that name names.
const DsKeyNode *
find_key(const DsKeyNode *first, std::string_view name)
{
    for (const DsKeyNode *level = first; level != nullptr && level->field_type != nullptr;
         level = first_child(level)) {
        std::string why;
        Node node = node_of(level, why);
        if (node.doc != nullptr && names(name, level, node.doc->name))
            return level;
    }
    return nullptr;
}

// Whether a document's member name names the node as find_child takes a
// child, or, for a typed level, as find_key takes a key.
bool
fits(std::string_view name, const Node &node)
{
    return names(name, node.key, node.key->field_type == nullptr ? node.key->name : node.doc->name);
}

// The next "choice/case" pair of a choices text, moving text past it.
bool
next_choice(std::string_view &text, std::string_view &choice, std::string_view &which)
{
    if (text.empty())
        return false;
    size_t slash = text.find('/');
    choice = text.substr(0, slash);
    if (!choice.empty() && choice.back() == '!')
        choice.remove_suffix(1);
    text = slash == std::string_view::npos ? "" : text.substr(slash + 1);
    slash = text.find('/');
    which = text.substr(0, slash);
    text = slash == std::string_view::npos ? "" : text.substr(slash + 1);
    return true;
}

// The choice in which two sibling nodes sit in different cases; empty when
// they do not.
std::string
case_clash(const char *a, const char *b)
{
    std::string_view left = a != nullptr ? a : "", right = b != nullptr ? b : "";
    std::string_view choice_a, case_a, choice_b, case_b;
    while (next_choice(left, choice_a, case_a) && next_choice(right, choice_b, case_b)) {
        if (choice_a != choice_b)
            return "";
        if (case_a != case_b)
            return std::string(choice_a);
    }
    return "";
}

} // namespace

std::string
pointer_segment(std::string_view name)
{
    std::string out;
    for (char c : name)
        out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    return out;
}

std::string
Place::pointer() const
{
    std::string out;
    for (const Step &step : steps_) {
        out += '/';
        if (step.index != 0)
            out += std::to_string(step.index - 1);
        else
            out += pointer_segment(step.name);
    }
    return out;
}

bool
SplitWalk::fail(std::string reason)
{
    if (reason_.empty()) {
        reason_ = std::move(reason);
        where_ = place_.pointer();
    }
    return false;
}

bool
SplitWalk::fail_at(std::string_view member, std::string reason)
{
    if (reason_.empty()) {
        reason_ = std::move(reason);
        where_ = place_.pointer() + "/" + pointer_segment(member);
    }
    return false;
}

bool
SplitWalk::syntax()
{
    const std::string why = in_.error();
    bool text_rule = why.rfind("a YANG text", 0) == 0;
    return fail((text_rule ? "" : "not JSON: ") + why + " (at byte " +
                std::to_string(in_.offset()) + ")");
}

bool
SplitWalk::emit_entry(const DsKeyNode *key, const void *value, size_t size)
{
    if (!emit_)
        return true;
    DsDocEntry entry{path_.c_str(), path_.size(), key, value, size};
    stopped_ = fn_(&entry, arg_);
    return stopped_ == 0;
}

bool
SplitWalk::whole(bool emit)
{
    emit_ = emit;
    in_.seek(0);
    path_.clear();
    place_.leave(0);
    if (in_.peek() != JsonPull::Token::object)
        return fail("a document is a JSON object");
    if (!object_members(nullptr, nullptr))
        return false;
    return in_.at_end() ||
           fail("text after the document (at byte " + std::to_string(in_.offset()) + ")");
}

bool
SplitWalk::body(bool emit, const DsKeyNode *at, const std::string &prefix, const Keys *only)
{
    emit_ = emit;
    in_.seek(0);
    path_ = prefix;
    place_.leave(0);
    std::string why;
    Node node = node_of(at, why);
    if (node.doc == nullptr)
        return fail(why);
    std::string name = member_name(node, nullptr), read;
    if (!in_.take('{'))
        return in_.peek() == JsonPull::Token::invalid ? syntax() : fail("a body is a JSON object");
    // No member: the node holds nothing (YANG tools print an empty
    // container's body so).
    if (in_.take('}'))
        return in_.at_end() ||
               fail("text after the body (at byte " + std::to_string(in_.offset()) + ")");
    if (!in_.read_string(read))
        return syntax();
    if (read != name)
        return fail_at(read, "the body's one member must be \"" + name + "\"");
    place_.enter(name);
    if (!in_.take(':'))
        return fail("not JSON: a ':' was expected");
    bool ok = only != nullptr ? list(at, node, only) : member(at, node);
    if (!ok)
        return false;
    place_.leave(0);
    if (!in_.take('}'))
        return fail("a body has one member and nothing after it");
    return in_.at_end() ||
           fail("text after the body (at byte " + std::to_string(in_.offset()) + ")");
}

bool
SplitWalk::member(const DsKeyNode *key, const Node &node)
{
    switch (node.doc->kind) {
    case DS_DOC_CONTAINER:
    case DS_DOC_PRESENCE:
        if (in_.peek() != JsonPull::Token::object)
            return fail("a container is a JSON object");
        if (node.doc->kind == DS_DOC_PRESENCE && !emit_entry(key, nullptr, 0))
            return false;
        return object_members(key, nullptr);
    case DS_DOC_LIST:
        return list(key, node, nullptr);
    case DS_DOC_LEAF:
        return leaf(key, node);
    case DS_DOC_LEAF_LIST:
        return leaf_list(key, node);
    default:
        return fail("the node cannot be a member of a document");
    }
}

// The members of one object: the children of parent; for a list entry with
// keys also its keys (the typed levels from first_key on, read before by
// entry_keys, so only passed over here).
bool
SplitWalk::object_members(const DsKeyNode *parent, const DsKeyNode *first_key)
{
    if (!in_.take('{'))
        return in_.peek() == JsonPull::Token::invalid ? syntax()
                                                      : fail("a JSON object was expected");
    if (in_.take('}'))
        return true;
    // The members so far (seen_ from the scope's base on), with the choices
    // they sit in.
    ObjectScope scope(*this);
    TextRun &read = scope.name();
    const DsKeyNode *hint = nullptr, *before = nullptr;
    uint64_t members = 0; // a filter of the members so far
    const size_t depth = place_.depth(), path_length = path_.size();
    do {
        if (!in_.read_string(read))
            return syntax();
        const std::string_view name = read.view();
        const Node *guess = order_.guess(parent, before);
        const DsKeyNode *child = nullptr;
        bool is_key = false;
        Node node;
        if (guess != nullptr && (guess->key->field_type == nullptr || first_key != nullptr) &&
            fits(name, *guess)) {
            node = *guess;
            child = node.key;
            is_key = child->field_type != nullptr;
        } else {
            child = find_child(parent, name, hint);
            is_key = child == nullptr && first_key != nullptr &&
                     (child = find_key(first_key, name)) != nullptr;
            if (child == nullptr)
                return fail_at(name,
                               "no such member here (unknown, misspelt or of another module)");
            std::string why;
            node = node_of(child, why);
            if (node.doc == nullptr)
                return fail_at(name, why);
            order_.note(parent, before, node);
        }
        if (!is_key)
            hint = next_of(parent, child);
        before = child;
        // The checking pass found no member twice and no case beside another.
        // The members before are looked through only when this one may be
        // among them (by a 64-bit filter of their nodes) or sits in a case.
        const uint64_t bit = uint64_t(1)
                             << (reinterpret_cast<uintptr_t>(child) / sizeof *child % 64);
        const bool look = !emit_ && ((members & bit) != 0 || node.doc->choices != nullptr);
        members |= bit;
        for (size_t s = look ? scope.seen_base() : seen_.size(); s < seen_.size(); ++s) {
            const auto &[other, choices] = seen_[s];
            if (other == child)
                return fail_at(name, "the member appears twice");
            if (is_key || choices == nullptr || node.doc->choices == nullptr)
                continue;
            std::string clash = case_clash(choices, node.doc->choices);
            if (!clash.empty())
                return fail_at(name, "of another case of choice \"" + clash + "\" than \"" +
                                         other->name + "\"");
        }
        seen_.emplace_back(child, node.doc->choices);
        if (!in_.take(':'))
            return in_.peek() == JsonPull::Token::end
                       ? syntax()
                       : fail_at(name, "not JSON: a ':' was expected");
        place_.enter(name);
        if (is_key) {
            if (!in_.skip_value())
                return syntax();
        } else {
            path_ += '/';
            path_ += child->name;
            if (!member(child, node))
                return false;
        }
        place_.leave(depth);
        path_.resize(path_length);
    } while (in_.take(','));
    if (!in_.take('}'))
        return in_.peek() == JsonPull::Token::end || in_.peek() == JsonPull::Token::invalid
                   ? syntax()
                   : fail("not JSON: a ',' or '}' was expected");
    return true;
}

bool
SplitWalk::list(const DsKeyNode *key, const Node &node, const Keys *only)
{
    if (!in_.take('['))
        return fail("a list is a JSON array of its entries");
    EntryTable seen;
    Keys keys; // each entry's, in turn
    size_t index = 0;
    const size_t depth = place_.depth(), path_length = path_.size();
    if (!in_.take(']')) {
        do {
            place_.enter(index);
            if (!list_entry(key, node, index, only, seen, keys))
                return false;
            place_.leave(depth);
            path_.resize(path_length);
            ++index;
        } while (in_.take(','));
        if (!in_.take(']'))
            return in_.peek() == JsonPull::Token::end ? syntax()
                                                      : fail("not JSON: a ',' or ']' was expected");
    }
    if (only != nullptr && index != 1)
        return fail("the body of a list entry holds that one entry");
    return true;
}

bool
SplitWalk::list_entry(const DsKeyNode *key, const Node &node, size_t index, const Keys *only,
                      EntryTable &seen, Keys &keys)
{
    const DsKeyNode *first = first_child(key);
    if (first == nullptr || first->field_type == nullptr)
        return fail("the list has no key levels");
    if (in_.peek() != JsonPull::Token::object)
        return in_.peek() == JsonPull::Token::invalid ? syntax()
                                                      : fail("a list entry is a JSON object");
    const DsKeyNode *last = first;
    if (node.doc->key_count == 0) {
        keys.texts.resize(1);
        keys.texts[0] = std::to_string(index + 1);
    } else {
        if (!entry_keys(first, in_.offset(), keys, emit_))
            return false;
        for (size_t i = 1; i < keys.texts.size(); ++i)
            last = first_child(last);
        // The checking pass found no repeated entry: handing out needs no table.
        if (!emit_ && duplicate_entry(seen, first, keys, in_.offset()))
            return fail("a second entry with the same keys");
    }
    if (only != nullptr && only->texts != keys.texts)
        return fail("the entry's keys are not those of the key path");
    for (const std::string &text : keys.texts) {
        path_ += '/';
        path_ += text;
    }
    if (!emit_entry(last, nullptr, 0))
        return false;
    return object_members(last, node.doc->key_count != 0 ? first : nullptr);
}

} // namespace doc

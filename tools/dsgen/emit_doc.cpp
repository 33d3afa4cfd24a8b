// The document data emitter: "ds_doc_schema" and the tables it points to,
// as C for the module's source. Value encodings that several nodes share are
// written once; a union's members, bits and ranges get tables of their own,
// written before the records that point to them. Every record is written
// positionally and whole, so the text compiles warning-free as C and C++.
#include "dsgen.h"

#include <cctype>
#include <map>

namespace dsgen
{

namespace
{

const char *
kind_name(uint8_t kind)
{
    static const char *const names[] = {
        "0",           "DS_DOC_CONTAINER", "DS_DOC_PRESENCE", "DS_DOC_LIST", "DS_DOC_LIST_KEY",
        "DS_DOC_LEAF", "DS_DOC_LEAF_LIST"};
    return kind < sizeof names / sizeof names[0] ? names[kind] : "0";
}

const char *
base_name(uint8_t base)
{
    static const char *const names[] = {"0",
                                        "DS_DOC_BINARY",
                                        "DS_DOC_BITS",
                                        "DS_DOC_BOOLEAN",
                                        "DS_DOC_DECIMAL64",
                                        "DS_DOC_EMPTY",
                                        "DS_DOC_ENUMERATION",
                                        "DS_DOC_IDENTITYREF",
                                        "DS_DOC_INSTANCE_IDENTIFIER",
                                        "DS_DOC_INT8",
                                        "DS_DOC_INT16",
                                        "DS_DOC_INT32",
                                        "DS_DOC_INT64",
                                        "DS_DOC_STRING",
                                        "DS_DOC_UINT8",
                                        "DS_DOC_UINT16",
                                        "DS_DOC_UINT32",
                                        "DS_DOC_UINT64",
                                        "DS_DOC_UNION"};
    return base < sizeof names / sizeof names[0] ? names[base] : "0";
}

const char *
canon_name(uint8_t canon)
{
    static const char *const names[] = {"DS_DOC_CANON_NONE", "DS_DOC_CANON_IPV6_ADDRESS",
                                        "DS_DOC_CANON_IPV4_PREFIX", "DS_DOC_CANON_IPV6_PREFIX",
                                        "DS_DOC_CANON_DATE_AND_TIME"};
    return canon < sizeof names / sizeof names[0] ? names[canon] : "0";
}

std::string
flag_text(uint8_t flags)
{
    static const std::pair<uint8_t, const char *> names[] = {
        {DS_DOC_CONFIG, "DS_DOC_CONFIG"},
        {DS_DOC_MANDATORY, "DS_DOC_MANDATORY"},
        {DS_DOC_USER_ORDERED, "DS_DOC_USER_ORDERED"},
        {DS_DOC_WHEN, "DS_DOC_WHEN"}};
    std::string out;
    for (const auto &[flag, name] : names)
        if ((flags & flag) != 0)
            out += (out.empty() ? "" : " | ") + std::string(name);
    return out.empty() ? "0" : out;
}

std::string
int64_text(int64_t value)
{
    return value == INT64_MIN ? "INT64_MIN" : "INT64_C(" + std::to_string(value) + ")";
}

std::string
text_or_null(const std::optional<std::string> &text)
{
    return text ? c_string_literal(*text) : "NULL";
}

// The template with each "$name" replaced by its value; values are not
// scanned again.
std::string
fill(const std::string &text, const std::map<std::string, std::string> &vars)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t end = at + 1;
        while (text[at] == '$' && end < text.size() &&
               (std::islower(text[end]) || text[end] == '_'))
            ++end;
        auto found = text[at] == '$' ? vars.find(text.substr(at + 1, end - at - 1)) : vars.end();
        out += found != vars.end() ? found->second : text.substr(at, end - at);
        at = end;
    }
    return out;
}

class DocEmitter
{
  public:
    std::string
    text(const DocSchema &doc)
    {
        std::string nodes;
        for (const DocNode &node : doc.nodes)
            nodes += node_record(node);
        std::string modules;
        for (const std::string &name : doc.modules)
            modules += "    " + c_string_literal(name) + ",\n";
        std::string out = tables_;
        if (!values_.empty())
            out += "static const DsDocValue doc_values[" + std::to_string(value_count_) +
                   "] = {\n" + values_ + "};\n\n";
        if (!doc.nodes.empty())
            out += "static const DsDocNode doc_nodes[" + std::to_string(doc.nodes.size()) +
                   "] = {\n" + nodes + "};\n\n";
        if (!doc.modules.empty())
            out += "static const char *const doc_modules[" + std::to_string(doc.modules.size()) +
                   "] = {\n" + modules + "};\n\n";
        return out + fill("const DsDocSchema ds_doc_schema = {DS_DOC_SCHEMA_VERSION, $count, "
                          "$nodes, $modules, $module_count, 0};\n",
                          {{"count", std::to_string(doc.nodes.size())},
                           {"nodes", doc.nodes.empty() ? "NULL" : "doc_nodes"},
                           {"modules", doc.modules.empty() ? "NULL" : "doc_modules"},
                           {"module_count", std::to_string(doc.modules.size())}});
    }

  private:
    // A new table's name; its definition goes before the records.
    std::string
    table(const std::string &type, const std::string &rows, size_t count)
    {
        std::string name = "doc_table_" + std::to_string(table_count_++);
        tables_ += "static const " + type + " " + name + "[" + std::to_string(count) + "] = {\n" +
                   rows + "};\n\n";
        return name;
    }

    // The initializer of a DsDocValue, with the tables of its parts.
    std::string
    value_record(const DocValue &value)
    {
        std::string bits = "NULL", members = "NULL", ranges = "NULL", rows;
        size_t count = 0;
        if (!value.bits.empty()) {
            for (const auto &[name, position] : value.bits)
                rows +=
                    "    {" + c_string_literal(name) + ", " + std::to_string(position) + "u},\n";
            bits = table("DsDocBit", rows, count = value.bits.size());
        } else if (!value.members.empty()) {
            for (const DocValue &member : value.members)
                rows += "    " + value_record(member) + ",\n";
            members = table("DsDocValue", rows, count = value.members.size());
        } else if (!value.ranges.empty()) {
            for (size_t i = 0; i < value.ranges.size(); i += 2)
                rows += "    " + int64_text(value.ranges[i]) + ", " +
                        int64_text(value.ranges[i + 1]) + ",\n";
            ranges = table("int64_t", rows, value.ranges.size());
            count = value.ranges.size() / 2;
        }
        return fill("{$base, $canon, $digits, 0, $count, $bits, $members, $ranges, $pattern}",
                    {{"base", base_name(value.base)},
                     {"canon", canon_name(value.canon)},
                     {"digits", std::to_string(value.fraction_digits)},
                     {"count", std::to_string(count) + "u"},
                     {"bits", bits},
                     {"members", members},
                     {"ranges", ranges},
                     {"pattern", text_or_null(value.pattern)}});
    }

    // A pointer to the shared record of an encoding.
    std::string
    value_ref(const DocValue &value)
    {
        std::string key = describe(value);
        auto found = value_index_.find(key);
        if (found == value_index_.end()) {
            values_ += "    " + value_record(value) + ",\n";
            found = value_index_.emplace(key, value_count_++).first;
        }
        return "&doc_values[" + std::to_string(found->second) + "]";
    }

    static std::string
    describe(const DocValue &value)
    {
        std::string out = std::to_string(value.base) + "," + std::to_string(value.canon) + "," +
                          std::to_string(value.fraction_digits) + "," +
                          (value.pattern ? c_string_literal(*value.pattern) : "-") + "[";
        for (const auto &[name, position] : value.bits)
            out += name + "=" + std::to_string(position) + " ";
        for (int64_t bound : value.ranges)
            out += std::to_string(bound) + " ";
        for (const DocValue &member : value.members)
            out += "(" + describe(member) + ")";
        return out + "]";
    }

    std::string
    node_record(const DocNode &node)
    {
        return fill("    {$kind, $flags, $module, $order, $name, $value, $default, $choices, "
                    "$key_count, $key_index, 0},\n",
                    {{"kind", kind_name(node.kind)},
                     {"flags", flag_text(node.flags)},
                     {"module", std::to_string(node.module)},
                     {"order", std::to_string(node.order) + "u"},
                     {"name", c_string_literal(node.name)},
                     {"value", node.value ? value_ref(*node.value) : "NULL"},
                     {"default", text_or_null(node.default_json)},
                     {"choices", text_or_null(node.choices)},
                     {"key_count", std::to_string(node.key_count)},
                     {"key_index", std::to_string(node.key_index)}});
    }

    std::string tables_, values_;
    std::map<std::string, size_t> value_index_;
    size_t value_count_ = 0, table_count_ = 0;
};

} // namespace

std::string
emit_doc_schema(const DocSchema &doc)
{
    return DocEmitter().text(doc);
}

} // namespace dsgen

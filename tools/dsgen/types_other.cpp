// The YANG types that libdstypes holds only approximately, each with the
// warning that says what goes unchecked: decimal64 becomes a double, binary
// a string of base64 text, an instance-identifier a string of any text.
// (empty maps to the built-in "bool", and a leafref to its target's type, in
// the dispatch.)
#include "dsgen.h"

namespace dsgen
{

TypeRef
TypeMapper::map_decimal64(const struct lysc_node *node)
{
    report_warning(where_of(node),
                   "decimal64 becomes a double: its range and fraction digits are not enforced",
                   "check them in the program");
    return builtin_ref(DS_BUILTIN_DOUBLE);
}

// The size is the string size of the options or the annotation file; the
// text is base64 whatever its length.
TypeRef
TypeMapper::map_binary(const struct lysc_node *node, const struct lysc_type_bin *type,
                       const std::string &schema_path, GenType gen)
{
    if (type->length != nullptr)
        report_warning(where_of(node), "the length of a binary value is not enforced",
                       "check it in the program");
    gen.kind = DS_KIND_STRING;
    gen.regex = kBase64;
    gen.size = options_.string_size;
    auto annotation = annotations_.paths.find(schema_path);
    if (annotation != annotations_.paths.end() && annotation->second.string_size) {
        gen.size = *annotation->second.string_size;
        annotation->second.used = true;
    }
    return table_.add(std::move(gen));
}

TypeRef
TypeMapper::map_instance_identifier(const struct lysc_node *node, GenType gen)
{
    report_warning(where_of(node), "an instance-identifier becomes a string that is not checked",
                   "check the path in the program");
    gen.kind = DS_KIND_STRING;
    gen.size = options_.string_size;
    gen.regex = kAnyText;
    return table_.add(std::move(gen));
}

} // namespace dsgen

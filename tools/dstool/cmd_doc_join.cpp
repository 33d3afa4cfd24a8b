// dstool doc join: entries, one a line ("key path", a TAB, the packed value
// as hex pairs as "dstool pack" prints them, empty for an entry without a
// value), joined into the RFC 7951 document of the data. The whole input is
// read and joined before anything is printed, so a refused entry leaves
// standard output empty.
#include "dstool.h"
#include "dstypes_doc.h"

namespace dstool
{

namespace
{

struct DocErrorFree {
    void
    operator()(DsDocError *error) const
    {
        ds_doc_error_free(error);
    }
};
using DocErrorPtr = std::unique_ptr<DsDocError, DocErrorFree>;

struct JoinFree {
    void
    operator()(DsDocJoin *join) const
    {
        ds_doc_join_free(join);
    }
};

// The reason of a refusal, with the place when it is not the input's own.
[[noreturn]] void
fail_doc(const std::string &input, DsDocError *raw)
{
    DocErrorPtr error(raw);
    std::string reason = error ? ds_doc_error_reason(error.get()) : "out of memory";
    std::string where = error ? ds_doc_error_where(error.get()) : "";
    fail(kStatusFailed, input + (where.empty() ? "" : ": " + printable(where, 200)), reason);
}

// Adds the entry of one input line.
void
add_line(DsDocJoin *join, const std::string &line, size_t number)
{
    std::string input = "line " + std::to_string(number);
    size_t tab = line.find('\t');
    if (tab == std::string::npos)
        fail(kStatusFailed, input, "no TAB between the key path and the value");
    std::string path = line.substr(0, tab);
    if (path.find('\0') != std::string::npos)
        fail(kStatusFailed, input, "the key path holds a NUL character");
    std::string hex_text = line.substr(tab + 1);
    std::vector<uint8_t> value;
    if (hex_text.find_first_not_of(" \t\r") != std::string::npos)
        value = parse_hex(hex_text, input);
    DsDocError *error = nullptr;
    if (ds_doc_join_add(join, path.c_str(), value.empty() ? nullptr : value.data(), value.size(),
                        &error) != 0)
        fail_doc(input, error);
}

} // namespace

int
cmd_doc_join(const Invocation &inv)
{
    loaded_modules();
    auto at = inv.options.find("--at");
    const char *at_path = at != inv.options.end() ? at->second.c_str() : nullptr;
    DsDocError *error = nullptr;
    std::unique_ptr<DsDocJoin, JoinFree> join(ds_doc_join_new(at_path, &error));
    if (join == nullptr)
        fail_doc("--at", error);
    std::string text = read_file_arg(inv.args.empty() ? "-" : inv.args[0]);
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        add_line(join.get(), text.substr(start, end - start), ++number);
        start = end + 1;
    }
    unsigned flags = inv.has("--compact") ? unsigned(DS_DOC_PRINT_COMPACT) : 0u;
    CharPtr document(ds_doc_join_print(join.get(), flags, &error));
    if (document == nullptr)
        fail_doc("entries", error);
    print(document.get());
    return kStatusOk;
}

} // namespace dstool

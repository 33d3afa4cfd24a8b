// "dstool doc split": an RFC 7951 document (or a node's body with --at)
// split by libdstypes-doc into entries, printed one a line as the key path,
// a TAB and the packed value in hex. The library checks the whole document
// before it hands out the first entry, so a refused document prints nothing.
#include "dstool.h"
#include "dstypes_doc.h"

#include <cerrno>
#include <cstdio>

namespace dstool
{

namespace
{

// Prints one entry; a write error stops the split (with 1).
int
print_entry(const DsDocEntry *entry, void *)
{
    std::string line(entry->path, entry->path_len);
    line += '\t';
    line += hex(entry->value, entry->value_len);
    line += '\n';
    return std::fwrite(line.data(), 1, line.size(), stdout) == line.size() ? 0 : 1;
}

} // namespace

int
cmd_doc_split(const Invocation &inv)
{
    std::string file = inv.args.empty() ? "-" : inv.args[0];
    std::string text = read_file_arg(file);
    auto at = inv.options.find("--at");
    loaded_modules();
    DsDocError *error = nullptr;
    int result = ds_doc_split(text.data(), text.size(),
                              at != inv.options.end() ? at->second.c_str() : nullptr, print_entry,
                              nullptr, &error);
    if (result == -1) {
        std::string where = error != nullptr ? ds_doc_error_where(error) : "";
        std::string reason = error != nullptr ? ds_doc_error_reason(error) : "refused";
        ds_doc_error_free(error);
        if (!where.empty())
            reason.insert(0, printable(where, 200) + ": ");
        fail(kStatusFailed, file == "-" ? "standard input" : printable(file), reason);
    }
    if (result != 0 || std::fflush(stdout) != 0)
        fail(kStatusFailed, "standard output", errno_text(errno));
    return kStatusOk;
}

} // namespace dstool

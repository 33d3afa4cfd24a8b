// dsgen's diagnostics: every error and warning is one line on standard error
// naming the YANG file (and line, where libyang gives one), the schema node
// path, what is wrong and what to do. With --strict a warning counts as an
// error.
#include "dsgen.h"

#include <cstdio>

namespace dsgen
{

namespace
{

bool errors_seen = false;
bool warnings_are_errors = false;

void
print_line(const char *level, const Where &where, const std::string &what, const std::string &fix)
{
    std::string line = "dsgen: ";
    line += level;
    line += ": ";
    if (!where.file.empty()) {
        line += where.file;
        if (where.line != 0)
            line += ":" + std::to_string(where.line);
        line += ": ";
    }
    if (!where.path.empty())
        line += where.path + ": ";
    line += what;
    if (!fix.empty())
        line += " (" + fix + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace

void
report_error(const Where &where, const std::string &what, const std::string &fix)
{
    errors_seen = true;
    print_line("error", where, what, fix);
}

void
report_warning(const Where &where, const std::string &what, const std::string &fix)
{
    if (warnings_are_errors) {
        report_error(where, what, fix);
        return;
    }
    print_line("warning", where, what, fix);
}

bool
had_errors()
{
    return errors_seen;
}

void
set_strict(bool strict)
{
    warnings_are_errors = strict;
}

Where
where_of(const struct lysc_node *node)
{
    Where where;
    if (node == nullptr)
        return where;
    if (node->module->filepath != nullptr)
        where.file = node->module->filepath;
    else
        where.file = std::string(node->module->name) + " (built into libyang)";
    char *path = lysc_path(node, LYSC_PATH_DATA, nullptr, 0);
    if (path != nullptr) {
        where.path = path;
        free(path);
    }
    return where;
}

} // namespace dsgen

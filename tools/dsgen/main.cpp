// dsgen's entry point: the command line (getopt_long), then the steps in
// order: load the YANG modules, read the annotation file, walk the data trees
// into a key forest and a type table, and write the C module and header.
// Exit status: 0 written, 1 a model cannot be compiled, 2 usage error.
#include "dsgen.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <getopt.h>

namespace dsgen
{

namespace
{

const char kUsage[] =
    "usage: dsgen [-p DIR]... [-F MODULE:FEATURE,...] [-a ANNOTATIONS.json]\n"
    "             [--string-size N] [--max-elements N] [--strict]\n"
    "             -o OUT.c [-H OUT.h] MODULE.yang...\n"
    "\n"
    "Compiles YANG modules into the C source of a libdstypes schema module.\n"
    "  -p, --path DIR          search DIR for imported modules (repeatable)\n"
    "  -F, --features M:F,...  enable only features F,... of module M (\"M:\" none);\n"
    "                          other modules have all features enabled\n"
    "  -a, --annotations FILE  string sizes, max-elements, patterns and alarms\n"
    "      --string-size N     size of strings without a length (default 256)\n"
    "      --max-elements N    slots of leaf-lists without max-elements (default 16)\n"
    "      --strict            treat every warning as an error\n"
    "  -o, --output OUT.c      the schema module's C source\n"
    "  -H, --header OUT.h      a header with packed C types, constants and paths\n"
    "  -h, --help              this text\n";

int
usage_error(const std::string &what)
{
    std::fprintf(stderr, "dsgen: %s\n%s", what.c_str(), kUsage);
    return kExitUsage;
}

// A decimal count from 1 to 65535, the whole argument and nothing else.
bool
parse_count(const char *text, uint32_t &out)
{
    if (text[0] < '0' || text[0] > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > 65535)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

bool
parse_features(const char *text, Options &options)
{
    const char *colon = std::strchr(text, ':');
    if (colon == nullptr || colon == text)
        return false;
    std::string module(text, colon);
    std::vector<std::string> &list = options.features[module];
    std::string rest(colon + 1);
    size_t start = 0;
    while (start < rest.size()) {
        size_t comma = rest.find(',', start);
        if (comma == std::string::npos)
            comma = rest.size();
        if (comma == start)
            return false;
        list.push_back(rest.substr(start, comma - start));
        start = comma + 1;
    }
    return true;
}

bool
write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "dsgen: error: %s: cannot write: %s\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

std::string
guard_from(const std::string &path)
{
    size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string guard;
    for (char c : base)
        guard += std::isalnum(static_cast<unsigned char>(c)) ? std::toupper(c) : '_';
    return "DSGEN_" + guard;
}

// Parsing goes on to compiling.
constexpr int kCompile = -1;

// Fills options from the command line: kCompile, or the exit status after
// usage or a usage error was written.
int
parse_command_line(int argc, char **argv, Options &options)
{
    enum { kStringSize = 1000, kMaxElements, kStrict };
    static const struct option long_options[] = {
        {"path", required_argument, nullptr, 'p'},
        {"features", required_argument, nullptr, 'F'},
        {"annotations", required_argument, nullptr, 'a'},
        {"string-size", required_argument, nullptr, kStringSize},
        {"max-elements", required_argument, nullptr, kMaxElements},
        {"strict", no_argument, nullptr, kStrict},
        {"output", required_argument, nullptr, 'o'},
        {"header", required_argument, nullptr, 'H'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":p:F:a:o:H:h", long_options, nullptr)) != -1) {
        switch (c) {
        case 'p':
            options.search_dirs.push_back(optarg);
            break;
        case 'F':
            if (!parse_features(optarg, options))
                return usage_error(std::string("-F ") + optarg +
                                   ": expected MODULE:FEATURE[,FEATURE...] or MODULE:");
            break;
        case 'a':
            options.annotations = optarg;
            break;
        case kStringSize:
            if (!parse_count(optarg, options.string_size))
                return usage_error(std::string("--string-size ") + optarg +
                                   ": expected a number from 1 to 65535");
            break;
        case kMaxElements:
            if (!parse_count(optarg, options.max_elements))
                return usage_error(std::string("--max-elements ") + optarg +
                                   ": expected a number from 1 to 65535");
            break;
        case kStrict:
            options.strict = true;
            break;
        case 'o':
            options.out_c = optarg;
            break;
        case 'H':
            options.out_h = optarg;
            break;
        case 'h':
            std::fputs(kUsage, stdout);
            return kExitOk;
        case ':':
            return usage_error(std::string("option ") + argv[optind - 1] + " needs a value");
        default:
            return usage_error(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    for (int i = optind; i < argc; ++i)
        options.yang_files.push_back(argv[i]);
    if (options.out_c.empty())
        return usage_error("-o OUT.c is required");
    if (options.yang_files.empty())
        return usage_error("no YANG module given");
    return kCompile;
}

// Loads the models, maps their types, walks their trees and writes the
// module (and header): kExitOk, kExitModel after errors in the models or the
// annotations, kExitUsage when an output cannot be written.
int
compile(const Options &options)
{
    Model model;
    if (load_models(options, model) != kExitOk) {
        ly_ctx_destroy(model.ctx);
        return kExitModel;
    }
    Annotations annotations;
    if (!options.annotations.empty() && !load_annotations(options.annotations, annotations)) {
        ly_ctx_destroy(model.ctx);
        return kExitModel;
    }
    TypeTable table;
    TypeMapper mapper(table, options, annotations, model.ctx);
    Forest forest;
    bool walked = walk_models(model, mapper, forest);
    for (const auto &[path, annotation] : annotations.paths)
        if (!annotation.used)
            report_error({options.annotations, 0, path},
                         "annotation names no string or leaf-list node",
                         "spell the path as /module:node/child, without list keys");
    std::string source, header;
    if (walked && !had_errors()) {
        source = emit_module(model, table, forest, annotations, build_doc_schema(forest, mapper));
        if (!options.out_h.empty())
            header = emit_header(model, table, forest, guard_from(options.out_h));
    }
    ly_ctx_destroy(model.ctx);
    if (!walked || had_errors())
        return kExitModel;
    if (!write_file(options.out_c, source))
        return kExitUsage;
    if (!options.out_h.empty() && !write_file(options.out_h, header))
        return kExitUsage;
    return kExitOk;
}

int
run(int argc, char **argv)
{
    Options options;
    int status = parse_command_line(argc, argv, options);
    if (status != kCompile)
        return status;
    set_strict(options.strict);
    return compile(options);
}

} // namespace

} // namespace dsgen

int
main(int argc, char **argv)
{
    try {
        return dsgen::run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dsgen: error: %s\n", e.what());
        return dsgen::kExitModel;
    }
}

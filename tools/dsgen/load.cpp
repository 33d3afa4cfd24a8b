// Loading the YANG modules: one libyang context that reads imports from the
// search directories only (never the working directory), keeps the parsed
// trees reachable from the compiled nodes (typedef names live only there),
// and implements every module named on the command line with all its
// features, or the ones that -F lists. libyang's own messages become dsgen's
// error and warning lines, with the file being loaded and its line.
#include "dsgen.h"

#include <cstdlib>
#include <cstring>

namespace dsgen
{

namespace
{

std::string loading_file;

// libyang gives the line of a parse error as the "path" "Line number N.".
void
forward_log(LY_LOG_LEVEL level, const char *msg, const char *path)
{
    if (level > LY_LLWRN)
        return;
    Where where{loading_file, 0, path != nullptr ? path : ""};
    unsigned long line = 0;
    if (path != nullptr && std::sscanf(path, "Line number %lu.", &line) == 1) {
        where.line = static_cast<uint32_t>(line);
        where.path.clear();
    }
    if (level == LY_LLERR)
        report_error(where, msg, "fix the model or the search path (-p)");
    else
        report_warning(where, msg, "");
}

// "dir/ietf-ip@2018-02-22.yang" -> "ietf-ip".
std::string
module_name_of(const std::string &file)
{
    size_t slash = file.rfind('/');
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    size_t end = base.find_first_of("@.");
    return base.substr(0, end);
}

} // namespace

int
load_models(const Options &options, Model &model)
{
    ly_set_log_clb(forward_log, 1);
    ly_log_options(LY_LOLOG);
    uint16_t flags = LY_CTX_DISABLE_SEARCHDIR_CWD | LY_CTX_SET_PRIV_PARSED | LY_CTX_NO_YANGLIBRARY;
    if (ly_ctx_new(nullptr, flags, &model.ctx) != LY_SUCCESS) {
        report_error({}, "cannot create a libyang context", "check the libyang installation");
        return kExitModel;
    }
    for (const std::string &dir : options.search_dirs) {
        if (ly_ctx_set_searchdir(model.ctx, dir.c_str()) != LY_SUCCESS) {
            report_error({dir, 0, ""}, "search directory cannot be used",
                         "give an existing directory");
            return kExitModel;
        }
    }
    for (const auto &[module, features] : options.features) {
        bool named = false;
        for (const std::string &file : options.yang_files)
            named = named || module_name_of(file) == module;
        if (!named) {
            report_error({}, "-F names module " + module + ", which is not on the command line",
                         "name the module's file among the YANG files");
            return kExitModel;
        }
    }
    for (const std::string &file : options.yang_files) {
        loading_file = file;
        std::vector<const char *> features;
        auto chosen = options.features.find(module_name_of(file));
        if (chosen == options.features.end()) {
            features.push_back("*");
        } else {
            for (const std::string &feature : chosen->second)
                features.push_back(feature.c_str());
        }
        features.push_back(nullptr);
        struct ly_in *in = nullptr;
        if (ly_in_new_filepath(file.c_str(), 0, &in) != LY_SUCCESS) {
            report_error({file, 0, ""}, std::string("cannot read: ") + std::strerror(errno),
                         "give the path of a YANG file");
            return kExitModel;
        }
        struct lys_module *module = nullptr;
        LY_ERR err = lys_parse(model.ctx, in, LYS_IN_YANG, features.data(), &module);
        ly_in_free(in, 0);
        if (err != LY_SUCCESS || module == nullptr) {
            if (!had_errors())
                report_error({file, 0, ""}, "libyang cannot compile this module",
                             "check the file and its imports");
            return kExitModel;
        }
        model.modules.push_back(module);
        model.files.push_back(file);
    }
    loading_file.clear();
    return had_errors() ? kExitModel : kExitOk;
}

} // namespace dsgen

// Fills the module directory of a load scenario from the manifest that the
// build writes for it (per module a line: the source file, a tab, its name in
// the directory), and the helpers that read back what was loaded.
#include "scenario.h"

#include "dstest.h"
#include "registry/registry.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace
{

// Leaves the directory present and empty: other test programs read it too.
void
empty_directory()
{
    fs::create_directories(reg_module_dir);
    for (const fs::directory_entry &entry : fs::directory_iterator(reg_module_dir))
        fs::remove_all(entry.path());
}

} // namespace

namespace dstest
{

// Runs as the program starts; a file it cannot read or copy ends the program.
bool
install_scenario_modules(const char *manifest_file, bool missing_dir)
{
    empty_directory();
    std::atexit(empty_directory);
    if (missing_dir) {
        fs::remove(reg_module_dir);
        return true;
    }
    std::ifstream manifest(manifest_file);
    if (!manifest)
        throw std::runtime_error(std::string("cannot read ") + manifest_file);
    for (std::string line; std::getline(manifest, line);) {
        size_t tab = line.find('\t');
        fs::copy_file(line.substr(0, tab), fs::path(reg_module_dir) / line.substr(tab + 1));
    }
    return true;
}

const std::string &
load_stderr()
{
    static const std::string text = [] {
        StderrCapture capture;
        ensure_modules_loaded();
        return capture.text();
    }();
    return text;
}

std::vector<std::string>
directory_order()
{
    std::vector<std::string> names;
    DIR *dir = opendir(reg_module_dir);
    for (const dirent *entry = dir ? readdir(dir) : nullptr; entry != nullptr; entry = readdir(dir))
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
            names.push_back(entry->d_name);
    if (dir != nullptr)
        closedir(dir);
    return names;
}

std::string
module_name(const DsModule *module)
{
    const void *name = module->handle ? dlsym(module->handle, "dstest_module_name") : nullptr;
    return name == nullptr ? "" : static_cast<const char *>(name);
}

std::vector<const DsModule *>
module_records()
{
    std::vector<const DsModule *> records;
    for (const DsModule *m = module_list ? module_list->next : nullptr; m != nullptr; m = m->next)
        records.push_back(m);
    return records;
}

const DsModule *
module_named(const std::string &name)
{
    for (const DsModule *module : module_records())
        if (module_name(module) == name)
            return module;
    return nullptr;
}

size_t
position_of(const std::vector<std::string> &names, const std::string &name)
{
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

} // namespace dstest

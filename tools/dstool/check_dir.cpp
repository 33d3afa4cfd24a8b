// dstool check DIR: a module directory as the library's loader reads it.
// Every program that uses the library dlopens every module of the directory,
// so whoever can change the directory or a file in it runs code in all of
// them: the check names each way that someone other than root or the
// directory's owner can, and it opens the modules in the loader's order
// (the order readdir lists the entries, never sorted) to say what loads,
// what is passed over and why, what fails, which type names an earlier
// module hides, and how many memory maps the modules take against
// vm.max_map_count. Opening a module runs its constructors, as in every
// program that loads the directory.
#include "check.h"
#include "registry/registry.h"

#include <dirent.h>
#include <dlfcn.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace dstool
{

namespace
{

std::string
user_name(uid_t uid)
{
    const passwd *entry = getpwuid(uid);
    std::string number = "uid " + std::to_string(uid);
    return entry != nullptr ? std::string(entry->pw_name) + " (" + number + ")" : number;
}

std::string
group_name(gid_t gid)
{
    const group *entry = getgrgid(gid);
    return entry != nullptr ? entry->gr_name : "gid " + std::to_string(gid);
}

std::string
mode_text(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string
real_path_of(const std::string &path)
{
    char *resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return "";
    std::string text = resolved;
    std::free(resolved);
    return text;
}

// Who besides root and the directory's owner can change the file or
// directory at path (st: its status, links followed). what names it.
void
check_writers(const struct stat &st, uid_t owner, const std::string &what, Findings &out)
{
    if ((st.st_mode & S_IWOTH) != 0)
        out.add(what, "world-writable (mode " + mode_text(st.st_mode) + ")");
    if ((st.st_mode & S_IWGRP) != 0)
        out.add(what, "group-writable (mode " + mode_text(st.st_mode) + ", group " +
                          group_name(st.st_gid) + ")");
    if (st.st_uid != 0 && st.st_uid != owner)
        out.add(what,
                "owned by " + user_name(st.st_uid) + ", neither root nor the directory's owner");
}

// Whoever can write a directory above can replace the module directory
// itself; a sticky directory lets its users replace only what they own.
void
check_ancestors(const std::string &real_dir, uid_t owner, Findings &out)
{
    std::string path = real_dir;
    while (path.size() > 1) {
        size_t slash = path.rfind('/');
        path.resize(slash == 0 ? 1 : slash);
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        bool sticky = (st.st_mode & S_ISVTX) != 0;
        if ((st.st_mode & (S_IWOTH | S_IWGRP)) != 0 && !sticky)
            out.add("parent " + path, std::string((st.st_mode & S_IWOTH) ? "world" : "group") +
                                          "-writable (mode " + mode_text(st.st_mode) +
                                          "): the module directory can be replaced");
        if (st.st_uid != 0 && st.st_uid != owner)
            out.add("parent " + path,
                    "owned by " + user_name(st.st_uid) + ": the module directory can be replaced");
    }
}

// The memory maps of this process: /proc/self/maps has one line per map.
size_t
count_maps()
{
    std::ifstream maps("/proc/self/maps");
    size_t lines = 0;
    std::string line;
    while (std::getline(maps, line))
        ++lines;
    return lines;
}

size_t
max_map_count()
{
    std::ifstream limit("/proc/sys/vm/max_map_count");
    size_t value = 0;
    limit >> value;
    return value;
}

struct DirState {
    std::string dir;
    std::string real_dir;
    uid_t owner;
    EarlierNames names; // type names of the modules loaded so far
    size_t loaded = 0;
    size_t skipped = 0;
    size_t problems = 0;
};

// One module: its file, then what the loader makes of it.
void
check_module(DirState &state, const std::string &name)
{
    std::string path = state.dir + "/" + name;
    Findings out{path};
    struct stat link_st, st;
    if (lstat(path.c_str(), &link_st) == 0 && S_ISLNK(link_st.st_mode)) {
        std::string target = real_path_of(path);
        if (target.compare(0, state.real_dir.size() + 1, state.real_dir + "/") != 0)
            out.add("", "symbolic link to " + (target.empty() ? "nothing" : target) +
                            ", outside the directory");
    }
    if (stat(path.c_str(), &st) != 0) {
        out.add("", "does not load: " + errno_text(errno));
        state.problems += out.count;
        return;
    }
    check_writers(st, state.owner, "", out);
    if (!S_ISREG(st.st_mode)) {
        // dlopen fails on a directory and waits forever on a FIFO.
        out.add("", "not a regular file: the loader tries to open it all the same");
        state.problems += out.count;
        return;
    }
    dlerror();
    void *handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        out.add("", std::string("does not load: ") + (reason != nullptr ? reason : "unknown"));
        state.problems += out.count;
        return;
    }
    ModuleSymbols symbols = reg_module_symbols(handle);
    if (symbols.refused_by != nullptr) {
        out.add("", std::string("refused by the loader: \"") + symbols.refused_by +
                        "\" declares rows of a table the module does not export");
        state.problems += out.count;
        return;
    }
    const auto *table = static_cast<const DsType *>(symbols.types);
    uint32_t rows = symbols.usable_types();
    check_type_names(table, rows, state.names, out);
    add_names(state.names, table, rows, path);
    ++state.loaded;
    print(path + ": loads as module " + std::to_string(state.loaded) + "\n");
    state.problems += out.count;
}

void
check_entries(DirState &state, DIR *stream)
{
    for (const dirent *entry = readdir(stream); entry != nullptr; entry = readdir(stream)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!reg_is_module_name(name.c_str())) {
            ++state.skipped;
            print(state.dir + "/" + name +
                  ": skipped: the loader takes only names ending in "
                  "\".so\" after at least one character\n");
            continue;
        }
        check_module(state, name);
    }
}

} // namespace

size_t
check_directory(const std::string &dir)
{
    DirState state;
    state.dir = dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
    Findings out{state.dir};
    struct stat st;
    DIR *stream = stat(state.dir.c_str(), &st) == 0 ? opendir(state.dir.c_str()) : nullptr;
    if (stream == nullptr) {
        out.add("", "does not open: " + errno_text(errno));
        return out.count;
    }
    state.owner = st.st_uid;
    state.real_dir = real_path_of(state.dir);
    check_writers(st, st.st_uid, "", out);
    check_ancestors(state.real_dir, st.st_uid, out);
    size_t maps_before = count_maps();
    check_entries(state, stream);
    closedir(stream);
    size_t maps_after = count_maps();
    size_t used = maps_after > maps_before ? maps_after - maps_before : 0;
    size_t limit = max_map_count();
    std::string maps = "memory maps: " + std::to_string(state.loaded) +
                       (state.loaded == 1 ? " module takes " : " modules take ") +
                       std::to_string(used) + "; this process has " + std::to_string(maps_after) +
                       " of vm.max_map_count " + std::to_string(limit);
    if (used != 0 && limit > maps_after)
        maps += ": room for about " + std::to_string((limit - maps_after) * state.loaded / used) +
                " more modules like these";
    print(state.dir + ": " + maps + "\n");
    state.problems += out.count;
    print(state.dir + ": " +
          (state.problems == 0 ? std::string("ok")
                               : std::to_string(state.problems) +
                                     (state.problems == 1 ? " problem" : " problems")) +
          " (" + std::to_string(state.loaded) + " loaded, " + std::to_string(state.skipped) +
          " skipped)\n");
    return state.problems;
}

} // namespace dstool

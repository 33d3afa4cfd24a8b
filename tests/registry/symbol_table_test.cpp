// How the loader reads the sizes of what modules export, and what loading a
// module costs in calls to the dynamic loader. The directory holds two builds
// of a module with odd symbol-table entries (aliases of other sizes at the
// start of "ds_types", a zero-sized one, an absolute, a thread-local, a weak,
// a protected and a unique one), one linked with GNU hash and one with SysV
// hash only, beside ordinary and rejected modules. The dynamic loader's calls
// are wrapped at link time and counted while the list is built.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{

// Calls made through the wrappers below.
struct LoaderCalls {
    int opens = 0;        // dlopen
    int lookups = 0;      // dlsym
    int object_walks = 0; // dladdr, dladdr1, dl_iterate_phdr: each walks every loaded object
};
LoaderCalls calls;

} // namespace

extern "C" {
void *__real_dlopen(const char *file, int mode);
void *__real_dlsym(void *handle, const char *name);
int __real_dladdr(const void *address, Dl_info *info);
int __real_dladdr1(const void *address, Dl_info *info, void **extra, int flags);
int __real_dl_iterate_phdr(int (*callback)(dl_phdr_info *, size_t, void *), void *data);

void *
__wrap_dlopen(const char *file, int mode)
{
    ++calls.opens;
    return __real_dlopen(file, mode);
}

void *
__wrap_dlsym(void *handle, const char *name)
{
    ++calls.lookups;
    return __real_dlsym(handle, name);
}

int
__wrap_dladdr(const void *address, Dl_info *info)
{
    ++calls.object_walks;
    return __real_dladdr(address, info);
}

int
__wrap_dladdr1(const void *address, Dl_info *info, void **extra, int flags)
{
    ++calls.object_walks;
    return __real_dladdr1(address, info, extra, flags);
}

int
__wrap_dl_iterate_phdr(int (*callback)(dl_phdr_info *, size_t, void *), void *data)
{
    ++calls.object_walks;
    return __real_dl_iterate_phdr(callback, data);
}
}

namespace
{

// The calls that building the module list made; the first use builds it.
const LoaderCalls &
load_calls()
{
    static const LoaderCalls during_load = [] {
        LoaderCalls before = calls;
        dstest::load_stderr();
        return LoaderCalls{calls.opens - before.opens, calls.lookups - before.lookups,
                           calls.object_walks - before.object_walks};
    }();
    return during_load;
}

// The reference: the size of the entry that dladdr1 reports as starting at
// address, 0 when none does.
size_t
dladdr1_size(const void *address)
{
    Dl_info info{};
    void *entry = nullptr;
    if (dladdr1(address, &info, &entry, RTLD_DL_SYMENT) == 0 || entry == nullptr ||
        info.dli_saddr != address)
        return 0;
    return static_cast<const ElfW(Sym) *>(entry)->st_size;
}

// The addresses that the entries of an object's dynamic symbol table name, as
// its file on disk gives them: base + value, and the value of an absolute one;
// of a large table about 1,000 entries spread over it, since both dladdr1 and
// the loader scan the whole table per address. Empty when the file cannot be
// read (the vDSO has none).
std::vector<uintptr_t>
entry_addresses(const std::string &file, uintptr_t base)
{
    std::ifstream in(file, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<uintptr_t> addresses;
    if (image.size() < sizeof(ElfW(Ehdr)) || image.compare(0, SELFMAG, ELFMAG) != 0)
        return addresses;
    const auto *header = reinterpret_cast<const ElfW(Ehdr) *>(image.data());
    const auto *sections = reinterpret_cast<const ElfW(Shdr) *>(image.data() + header->e_shoff);
    for (unsigned i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM)
            continue;
        const auto *symbols =
            reinterpret_cast<const ElfW(Sym) *>(image.data() + sections[i].sh_offset);
        size_t count = sections[i].sh_size / sizeof(ElfW(Sym));
        for (size_t j = 0; j < count; j += count / 1000 + 1) {
            addresses.push_back(base + symbols[j].st_value);
            if (symbols[j].st_shndx == SHN_ABS)
                addresses.push_back(symbols[j].st_value);
        }
    }
    return addresses;
}

struct LoadedObject {
    std::string file;
    uintptr_t base;
};

int
collect_object(dl_phdr_info *info, size_t, void *data)
{
    std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
    static_cast<std::vector<LoadedObject> *>(data)->push_back(
        {name.empty() ? "/proc/self/exe" : name, info->dlpi_addr});
    return 0;
}

} // namespace

// Every module file opened once; per module at most the five table symbols
// looked up; and nothing that walks every loaded object, whose cost would
// grow with the number of modules already loaded.
TEST(LoadingCost, EachModuleIsOneOpenAndAtMostFiveLookupsAndNoWalkOverLoadedObjects)
{
    const LoaderCalls &load = load_calls();
    int module_files = 0;
    for (const std::string &name : dstest::directory_order())
        module_files += name.size() >= 4 && name.compare(name.size() - 3, 3, ".so") == 0;
    ASSERT_EQ(module_files, 6);
    EXPECT_EQ(load.opens, module_files);
    EXPECT_LE(load.lookups, 5 * module_files);
    EXPECT_GE(load.lookups, 3 * module_files);
    EXPECT_EQ(load.object_walks, 0);
}

// Each entry of every loaded object's dynamic symbol table, and the bytes
// either side of it: the size the loader reads is the one dladdr1 reports.
TEST(SymbolSizes, AgreeWithDladdr1AtEveryEntryOfEveryLoadedObject)
{
    load_calls();
    ASSERT_NE(dstest::module_named("symbols_gnu"), nullptr);
    ASSERT_NE(dstest::module_named("symbols_sysv"), nullptr);
    std::vector<LoadedObject> objects;
    dl_iterate_phdr(collect_object, &objects);
    size_t compared = 0, sized = 0;
    std::ostringstream mismatches;
    for (const LoadedObject &object : objects) {
        for (uintptr_t entry : entry_addresses(object.file, object.base)) {
            for (uintptr_t address : {entry - 1, entry, entry + 1}) {
                const void *at = reinterpret_cast<const void *>(address);
                size_t expected = dladdr1_size(at);
                size_t got = reg_symbol_size(at);
                ++compared;
                sized += expected != 0;
                if (got != expected)
                    mismatches << object.file << " +0x" << std::hex << address - object.base
                               << std::dec << ": " << got << " for " << expected << "\n";
            }
        }
    }
    EXPECT_EQ(mismatches.str(), "");
    EXPECT_GE(compared, 3000u);
    EXPECT_GE(sized, 1000u);
}

// Support for the load scenarios: each is a test executable of its own, with
// the modules its build listed in the test module directory, because the
// module list is built once per process.
#ifndef DSTYPES_TESTS_REGISTRY_SCENARIO_H
#define DSTYPES_TESTS_REGISTRY_SCENARIO_H

#include "dstypes.h"

#include <string>
#include <vector>

namespace dstest
{

// Empties the module directory as the program starts and copies in the files
// that the manifest lists, or removes it (missing_dir); leaves it empty at
// exit. Called from a source that the build generates; returns true.
bool install_scenario_modules(const char *manifest, bool missing_dir);

// Builds the module list on the first call and returns what that build wrote
// to standard error; later calls return the same text without loading again.
const std::string &load_stderr();

// The names in the module directory, in the order the directory lists them.
std::vector<std::string> directory_order();

// The name that a test module exports as "dstest_module_name"; "" for the
// built-in record or a module without one.
std::string module_name(const DsModule *module);

// The records of the module list after the built-in one, in list order.
std::vector<const DsModule *> module_records();

// The record of the module that exports the given name, or null.
const DsModule *module_named(const std::string &name);

// The position of a name in a list, or the list's size when it is absent.
size_t position_of(const std::vector<std::string> &names, const std::string &name);

} // namespace dstest

#endif

// A key path text (the whole input) through the splitter, ds_find_key and
// ds_find_alarm over the example module. Property: the components rejoined by
// "/" give the path without its first character and a final "/".
#include "fuzz_support.h"
#include "keys/keys.h"

namespace
{

void
check_split(const std::string &path)
{
    PathComponents parts(path.c_str());
    fuzz::require(!parts.failed() && parts.count() == count_components(path.c_str()), "split count",
                  path);
    std::string joined;
    for (uint32_t i = 0; i < parts.count(); ++i) {
        const DsPathComponent &c = parts.data()[i];
        fuzz::require(c.text > path.c_str() && c.text + c.length <= path.c_str() + path.size(),
                      "component inside the path", path);
        joined.append(i > 0 ? "/" : "").append(c.text, c.length);
    }
    std::string expected = path.size() > 1 ? path.substr(1) : "";
    if (parts.count() > 0 && expected.size() > joined.size() && expected.back() == '/')
        expected.pop_back();
    fuzz::require(parts.count() == 0 || joined == expected, "components rejoin to the path",
                  path + " vs " + joined);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::use_example_module();
    fuzz::Input in{data, data + size};
    std::string path = in.rest_text();
    check_split(path);
    // The lookups run for the sanitizers: their answers meet a walk over every
    // forest in the key index tests.
    for (bool leaf_only : {false, true})
        ds_find_key(path.c_str(), leaf_only);
    ds_find_alarm(path.c_str());
    return 0;
}

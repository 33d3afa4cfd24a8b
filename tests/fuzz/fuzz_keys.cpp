// A key path text (the whole input) through the splitter, ds_find_key,
// ds__do_key and ds_find_alarm over the example module. Properties: the
// components rejoined by "/" give the path without its first character and a
// final "/"; ds__do_key calls back once with what ds_find_key finds, or not at
// all; an alarm found belongs to the leaf key that ds_find_key finds.
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
    for (bool leaf_only : {false, true}) {
        const DsKeyNode *node = ds_find_key(path.c_str(), leaf_only);
        std::vector<const DsKeyNode *> called;
        auto collect = [](void *ctx, const DsKeyNode *found) {
            static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(found);
        };
        int result = ds__do_key(path.c_str(), leaf_only, collect, &called);
        fuzz::require(result == (called.empty() ? 0 : 1), "ds__do_key result", path);
        fuzz::require(called.size() == (node != nullptr ? 1u : 0u) &&
                          (node == nullptr || called[0] == node),
                      "ds__do_key calls back with what ds_find_key finds", path);
    }
    const DsAlarm *alarm = ds_find_alarm(path.c_str());
    fuzz::require(alarm == nullptr || alarm->key == ds_find_key(path.c_str(), true),
                  "an alarm belongs to the key found", path);
    return 0;
}

// Many threads using one built module list at once: after a single priming
// lookup, eight threads run every lookup, walk, conversion and key operation
// on the same types, keys and modules, over and over, and each result must be
// the one a single thread gets. The directory holds the example module and
// pair0 (keys with alarm rows). Meant to run under ThreadSanitizer as well.
#include "dstest.h"
#include "registry/registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kThreads = 8;
constexpr int kRounds = 40;

const DsType *const kWord = &ds_global_types[8];
const DsType *const kIpv4 = &ds_global_types[10];
const DsType *const kInterface = &ds_global_types[28];

// GigabitEthernet slot 0 port 7, and the JSON text that json-c prints for it.
const uint8_t kIfBytes[] = {0x02, 0x00, 0x07, 0x00};
const std::string kIfJson = R"({ "kind": "GigabitEthernet", "slot": 0, "port": 7 })";

std::string
if_path(const char *leaf)
{
    return "/interfaces/" + kIfJson + "/" + leaf;
}

std::string
node_name(const DsKeyNode *node)
{
    if (node == nullptr)
        return "null";
    char buf[128];
    return ds_key_name(buf, sizeof buf, node) != nullptr ? buf : "too long";
}

std::string
type_text(const DsType *type)
{
    if (type == nullptr)
        return "null";
    return std::string(ds_type_name(type)) + " " + ds__kind_name(type->kind) + " " +
           std::to_string(type->size);
}

// The JSON text of a converted value; the object is released here.
std::string
take_json(json_object *jo)
{
    std::string text = dstest::json_text(jo);
    json_object_put(jo);
    return text;
}

std::string
take_text(char *text)
{
    std::string copy = text == nullptr ? "null" : text;
    std::free(text);
    return copy;
}

void
count_node(void *ctx, const DsKeyNode *)
{
    ++*static_cast<int *>(ctx);
}

void
name_node(void *ctx, const DsKeyNode *node)
{
    *static_cast<std::string *>(ctx) += node_name(node) + ";";
}

// Packs a JSON value given as text; "null" when the conversion fails, with
// errno appended.
std::string
packed(const DsType *type, const char *json, size_t size)
{
    json_object *jo = json_tokener_parse(json);
    std::vector<uint8_t> out(size, 0xEE);
    errno = 0;
    void *done = ds_jo_to_c(type, jo, out.data(), out.size());
    int error = errno;
    json_object_put(jo);
    if (done == nullptr)
        return "null errno " + std::to_string(error);
    return dstest::hex(out.data(), out.size());
}

struct Operation {
    const char *name;
    std::function<std::string()> run;
    std::string expected;
};

// Every operation with its exact result. None of them fails in a way that
// logs, since the log capture of the test program is not made for threads.
std::vector<Operation>
operations()
{
    const DsKeyNode *state = ds_find_key(if_path("state").c_str(), true);
    const DsKeyNode *address =
        ds_find_key(("/interfaces/" + kIfJson + "/units/5/address").c_str(), true);
    return {
        {"ds_find_type built-in", [] { return type_text(ds_find_type("interface")); },
         "interface invalid 4"},
        {"ds_find_type module", [] { return type_text(ds_find_type("oper-state")); },
         "oper-state enum 1"},
        {"ds_find_key", [] { return node_name(ds_find_key(if_path("mtu").c_str(), true)); },
         "/interfaces/*/mtu"},
        {"ds__do_key",
         [] {
             std::string names;
             int called = ds__do_key("/vlans/12/uplink", false, name_node, &names);
             return std::to_string(called) + " " + names;
         },
         "1 /vlans/*/uplink;"},
        {"ds__all_keys",
         [] {
             int nodes = 0;
             ds__all_keys(count_node, &nodes);
             return std::to_string(nodes);
         },
         "40"},
        {"ds_find_alarm",
         [] {
             const DsAlarm *alarm = ds_find_alarm(if_path("counters").c_str());
             return alarm == nullptr ? "null" : static_cast<const char *>(alarm->data.pointers[0]);
         },
         "input-errors"},
        {"ds_leaf_to_c",
         [] {
             uint8_t dst[2];
             int ok = ds_leaf_to_c(if_path("mtu").c_str(), "1500", dst, sizeof dst);
             return std::to_string(ok) + " " + dstest::hex(dst, sizeof dst);
         },
         "1 dc 05"},
        {"ds_c_to_jo choice", [] { return take_json(ds_c_to_jo(kInterface, kIfBytes, 4)); },
         kIfJson},
        {"ds_jo_to_c ipv4 through its pattern",
         [] { return packed(kIpv4, R"("192.168.1.254")", 4); }, "c0 a8 01 fe"},
        {"ds_jo_to_c word missing the pattern", [] { return packed(kWord, R"("!!!")", 33); },
         "null errno 22"},
        {"ds_canonical_json choice",
         [] {
             int err = 0;
             return take_text(ds_canonical_json(R"({"port": 7, "kind": 2, "slot": 0})", kInterface,
                                                &err)) +
                    " " + std::to_string(err);
         },
         kIfJson + " 0"},
        {"ds_build_key",
         [state] {
             char buf[128];
             char *path = ds_build_key(buf, sizeof buf, state, kIfBytes, sizeof kIfBytes, nullptr);
             return std::string(path == nullptr ? "null" : path);
         },
         if_path("state")},
        {"ds_key_field_c",
         [address] {
             uint32_t size = 0;
             std::string text = kIfJson + "/5";
             void *value = ds_key_field_c(text.c_str(), address, 2, &size);
             std::string result = value == nullptr ? "null" : dstest::hex(value, size);
             std::free(value);
             return result;
         },
         "05 00"},
    };
}

// Starts all threads' work at the same moment.
class StartingGate
{
  public:
    void
    arrive_and_wait()
    {
        waiting_.fetch_add(1);
        while (waiting_.load() < kThreads)
            std::this_thread::yield();
    }

  private:
    std::atomic<int> waiting_{0};
};

} // namespace

TEST(SharedLookups, EveryOperationGivesOneThreadsResultUnderEightThreads)
{
    ASSERT_NE(ds_find_type("u32"), nullptr) << "priming lookup";
    const std::vector<Operation> ops = operations();
    for (const Operation &op : ops)
        ASSERT_EQ(op.run(), op.expected) << op.name << ", alone";

    StartingGate gate;
    std::vector<std::vector<std::string>> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            gate.arrive_and_wait();
            // Each thread starts at another operation, so that different
            // operations overlap as well as the same ones.
            for (size_t i = 0; i < kRounds * ops.size(); ++i) {
                const Operation &op = ops[(i + static_cast<size_t>(t)) % ops.size()];
                std::string got = op.run();
                if (got != op.expected && failures[t].size() < 5)
                    failures[t].push_back(std::string(op.name) + ": " + got);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (const std::string &failure : failures[t])
            ADD_FAILURE() << "thread " << t << ": " << failure;
    }
    dstest::expect_no_log();
}

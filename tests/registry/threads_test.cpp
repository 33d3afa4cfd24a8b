// Threads and the module list. First, eight threads make the first lookup of
// the process at the same moment, each through another entry point: all of
// them must see the same, complete list, nothing may be printed, and the
// builds that lost the race must leave nothing behind (the leak checker of the
// sanitizer build sees to that). Then eight threads run every lookup, walk,
// conversion and key operation on the built list, over and over, and each
// result must be the one a single thread gets. The directory holds the
// example module and pair0 (keys with alarm rows). Meant to run under
// ThreadSanitizer as well.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kThreads = 8;
constexpr int kRounds = 40;

// GigabitEthernet slot 0 port 7, and the JSON text that json-c prints for it.
const uint8_t kIfBytes[] = {0x02, 0x00, 0x07, 0x00};
const std::string kIfJson = R"({ "kind": "GigabitEthernet", "slot": 0, "port": 7 })";
const std::string kIfPath = "/interfaces/" + kIfJson + "/";

std::string
node_name(const DsKeyNode *node)
{
    char buf[128];
    return node == nullptr ? "null" : ds_key_name(buf, sizeof buf, node);
}

// The packed form of a JSON text under a built-in type, or "0" on failure.
std::string
packed(const char *type, const char *json, size_t size)
{
    std::vector<uint8_t> out(size);
    int ok = ds_type_to_c(ds_find_type(type), json, out.data(), size);
    return ok ? dstest::hex(out.data(), size) : "0";
}

struct Operation {
    const char *name;
    std::function<std::string()> run;
    std::string expected;
};

// Every operation with its exact result. None of them logs, since the log
// capture of the test program is not made for threads.
std::vector<Operation>
operations()
{
    const DsKeyNode *state = ds_find_key((kIfPath + "state").c_str(), true);
    const DsKeyNode *address = ds_find_key((kIfPath + "units/5/address").c_str(), true);
    return {
        {"ds_find_type", [] { return ds_type_name(ds_find_type("oper-state")); }, "oper-state"},
        {"ds_find_key", [] { return node_name(ds_find_key((kIfPath + "mtu").c_str(), true)); },
         "/interfaces/*/mtu"},
        {"ds__do_key",
         [] {
             std::string names;
             auto add = [](void *ctx, const DsKeyNode *n) {
                 *static_cast<std::string *>(ctx) += node_name(n) + ";";
             };
             return std::to_string(ds__do_key("/vlans/12/uplink", false, add, &names)) + names;
         },
         "1/vlans/*/uplink;"},
        {"ds__all_keys",
         [] {
             int nodes = 0;
             ds__all_keys([](void *ctx, const DsKeyNode *) { ++*static_cast<int *>(ctx); }, &nodes);
             return std::to_string(nodes);
         },
         "40"},
        {"ds_find_alarm",
         [] {
             const DsAlarm *alarm = ds_find_alarm((kIfPath + "counters").c_str());
             return alarm == nullptr ? "null" : static_cast<const char *>(alarm->data.pointers[0]);
         },
         "input-errors"},
        {"ds_leaf_to_c",
         [] {
             uint8_t dst[2];
             int ok = ds_leaf_to_c((kIfPath + "mtu").c_str(), "1500", dst, sizeof dst);
             return std::to_string(ok) + " " + dstest::hex(dst, sizeof dst);
         },
         "1 dc 05"},
        {"ipv4 through its pattern", [] { return packed("ipv4", "\"192.168.1.254\"", 4); },
         "c0 a8 01 fe"},
        {"ds_build_key",
         [state] {
             char buf[128];
             char *path = ds_build_key(buf, sizeof buf, state, kIfBytes, sizeof kIfBytes, nullptr);
             return std::string(path == nullptr ? "null" : path);
         },
         kIfPath + "state"},
        {"ds_key_field_c",
         [address] {
             uint32_t size = 0;
             void *value = ds_key_field_c((kIfJson + "/5").c_str(), address, 2, &size);
             std::string result = value == nullptr ? "null" : dstest::hex(value, size);
             std::free(value);
             return result;
         },
         "05 00"},
    };
}

// Runs body on kThreads threads that start together.
void
run_together(const std::function<void(int)> &body)
{
    std::atomic<int> waiting{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            waiting.fetch_add(1);
            while (waiting.load() < kThreads)
                std::this_thread::yield();
            body(t);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
}

// The first call of a thread; each of them builds the list when it is empty.
void
first_call(int which)
{
    uint8_t dst[2];
    auto ignore = [](void *, const DsKeyNode *) {};
    const std::function<void()> calls[] = {
        [] { ds_find_type("oper-state"); },
        [] { ds_find_key("/system/hostname", true); },
        [&] { ds__all_keys(ignore, nullptr); },
        [&] { ds__do_key("/al1/k", true, ignore, nullptr); },
        [] { ds_find_alarm("/system/boot-time"); },
        [&] { ds_leaf_to_c("/vlans/7/name", "\"uplinks\"", dst, sizeof dst); },
    };
    calls[which % 6]();
}

} // namespace

TEST(FirstLookup, ThreadsStartingTogetherShareOneCompleteList)
{
    ASSERT_EQ(module_list, nullptr) << "the list must still be empty when this test starts";
    // What each thread sees once its first call has returned.
    struct View {
        const DsModule *head;
        size_t records;
        bool indexed;
        const DsType *type;
        const DsKeyNode *key;
        const DsAlarm *alarm;
    };
    std::vector<View> views(kThreads);
    dstest::StderrCapture capture;
    run_together([&views](int t) {
        first_call(t);
        View &view = views[t];
        view = {reg_first_module(),
                0,
                false,
                ds_find_type("oper-state"),
                ds_find_key("/system/hostname", true),
                ds_find_alarm("/system/boot-time")};
        for (const DsModule *module = view.head; module != nullptr; module = module->next)
            ++view.records;
        view.indexed = view.head != nullptr && reg_has_type_index(view.head);
    });
    EXPECT_EQ(capture.text(), "");
    const std::vector<const DsModule *> records = dstest::module_records();
    ASSERT_EQ(records.size(), 2u);
    // pair0 has no types.
    const DsModule *example = records[0]->type_count > 0 ? records[0] : records[1];
    const DsKeyNode *hostname = ds_find_key("/system/hostname", true);
    ASSERT_NE(hostname, nullptr);
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(views[t].head, module_list);
        EXPECT_EQ(views[t].records, 3u);
        EXPECT_TRUE(views[t].indexed);
        EXPECT_EQ(views[t].type, &example->types[0]);
        EXPECT_EQ(views[t].key, hostname);
        EXPECT_EQ(views[t].alarm, &example->alarms[2]);
    }
}

TEST(SharedLookups, EveryOperationGivesOneThreadsResultUnderEightThreads)
{
    ASSERT_NE(ds_find_type("u32"), nullptr) << "priming lookup";
    const std::vector<Operation> ops = operations();
    for (const Operation &op : ops)
        ASSERT_EQ(op.run(), op.expected) << op.name << ", alone";

    std::vector<std::vector<std::string>> failures(kThreads);
    run_together([&ops, &failures](int t) {
        // Each thread starts at another operation, so that different
        // operations overlap as well as the same ones.
        for (size_t i = 0; i < kRounds * ops.size(); ++i) {
            const Operation &op = ops[(i + static_cast<size_t>(t)) % ops.size()];
            std::string got = op.run();
            if (got != op.expected && failures[t].size() < 5)
                failures[t].push_back(std::string(op.name) + ": " + got);
        }
    });
    for (int t = 0; t < kThreads; ++t) {
        for (const std::string &failure : failures[t])
            ADD_FAILURE() << "thread " << t << ": " << failure;
    }
    dstest::expect_no_log();
}

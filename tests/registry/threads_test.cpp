// Threads and the module list (also run under ThreadSanitizer). Eight threads
// make the first lookup of the process together, each through another entry
// point: all must see one complete list, nothing may be printed, and the
// builds that lost the race must leave nothing behind (for the leak checker).
// Then eight threads run every lookup, walk, conversion and key operation on
// the built list, and each result must be a single thread's. The directory
// holds the example module and pair0 (keys with alarm rows).
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <sstream>
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

void
add_name(void *ctx, const DsKeyNode *node)
{
    *static_cast<std::string *>(ctx) += node_name(node) + ";";
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
        {"ds_find_type, ds_find_key and ds__do_key",
         [] {
             std::string names = ds_type_name(ds_find_type("oper-state"));
             names.append(" ").append(node_name(ds_find_key((kIfPath + "mtu").c_str(), true)));
             names += " ";
             int called = ds__do_key("/vlans/12/uplink", false, add_name, &names);
             return names + std::to_string(called);
         },
         "oper-state /interfaces/*/mtu /vlans/*/uplink;1"},
        {"ds__all_keys",
         [] {
             std::string names;
             ds__all_keys(add_name, &names);
             return std::to_string(std::count(names.begin(), names.end(), ';'));
         },
         "40"},
        {"ds_find_alarm",
         [] {
             const DsAlarm *alarm = ds_find_alarm((kIfPath + "counters").c_str());
             return alarm == nullptr ? "null" : static_cast<const char *>(alarm->data.pointers[0]);
         },
         "input-errors"},
        {"ds_leaf_to_c and the ipv4 pattern",
         [] {
             uint8_t mtu[2], ip[4];
             int ok = ds_leaf_to_c((kIfPath + "mtu").c_str(), "1500", mtu, sizeof mtu);
             ok += ds_type_to_c(ds_find_type("ipv4"), "\"192.168.1.254\"", ip, sizeof ip);
             return std::to_string(ok) + " " + dstest::hex(mtu, 2) + " " + dstest::hex(ip, 4);
         },
         "2 dc 05 c0 a8 01 fe"},
        {"ds_build_key and ds_key_field_c",
         [state, address] {
             char buf[128];
             char *path = ds_build_key(buf, sizeof buf, state, kIfBytes, sizeof kIfBytes, nullptr);
             uint32_t size = 0;
             void *value = ds_key_field_c((kIfJson + "/5").c_str(), address, 2, &size);
             std::string result = std::string(path ? path : "null") + " " +
                                  (value ? dstest::hex(value, size) : "null");
             std::free(value);
             return result;
         },
         kIfPath + "state 05 00"},
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

// What a thread sees of the list once its first call has returned.
std::string
view()
{
    std::ostringstream out;
    size_t records = 0;
    for (const DsModule *module = reg_first_module(); module != nullptr; module = module->next)
        ++records;
    out << reg_first_module() << " " << records << " records, type index "
        << (records > 0 && reg_has_type_index(reg_first_module())) << " "
        << ds_find_type("oper-state") << " " << ds_find_key("/system/hostname", true) << " "
        << ds_find_alarm("/system/boot-time");
    return out.str();
}

} // namespace

TEST(FirstLookup, ThreadsStartingTogetherShareOneCompleteList)
{
    ASSERT_EQ(module_list, nullptr) << "the list must still be empty when this test starts";
    std::vector<std::string> views(kThreads);
    dstest::StderrCapture capture;
    run_together([&views](int t) {
        first_call(t);
        views[t] = view();
    });
    EXPECT_EQ(capture.text(), "");
    ASSERT_NE(ds_find_type("oper-state"), nullptr);
    ASSERT_NE(ds_find_key("/system/hostname", true), nullptr);
    ASSERT_NE(ds_find_alarm("/system/boot-time"), nullptr);
    const std::string expected = view();
    EXPECT_NE(expected.find(" 3 records, type index 1 "), std::string::npos) << expected;
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(views[t], expected) << "thread " << t;
}

TEST(SharedLookups, EveryOperationGivesOneThreadsResultUnderEightThreads)
{
    ASSERT_NE(ds_find_type("u32"), nullptr) << "priming lookup";
    const std::vector<Operation> ops = operations();
    for (const Operation &op : ops)
        ASSERT_EQ(op.run(), op.expected) << op.name << ", alone";

    run_together([&ops](int t) {
        // Each thread starts at another operation, so that different
        // operations overlap as well as the same ones.
        for (size_t i = 0; i < kRounds * ops.size(); ++i) {
            const Operation &op = ops[(i + static_cast<size_t>(t)) % ops.size()];
            ASSERT_EQ(op.run(), op.expected) << op.name << ", thread " << t;
        }
    });
    dstest::expect_no_log();
}

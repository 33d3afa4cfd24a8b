// The first lookup of the process made by eight threads at the same moment,
// each through another entry point: every thread must come back with the
// same, complete list (one head, both modules, their types and keys found),
// nothing may be printed, and the builds that lost the race must leave
// nothing behind (the leak checker of the sanitizer build sees to that).
// The directory holds the example module and pair0.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kThreads = 8;

void
ignore_node(void *, const DsKeyNode *)
{
}

// The first call each thread makes; all of them build the list when it is
// still empty.
void
first_call(int which)
{
    uint8_t dst[2];
    switch (which % 6) {
    case 0:
        ds_find_type("oper-state");
        break;
    case 1:
        ds_find_key("/system/hostname", true);
        break;
    case 2:
        ds__all_keys(ignore_node, nullptr);
        break;
    case 3:
        ds__do_key("/al1/k", true, ignore_node, nullptr);
        break;
    case 4:
        ds_find_alarm("/system/boot-time");
        break;
    default:
        ds_leaf_to_c("/vlans/7/name", "\"uplinks\"", dst, sizeof dst);
        break;
    }
}

// What one thread sees once its first call has returned.
struct View {
    const DsModule *head = nullptr;
    size_t records = 0;
    bool indexed = false;
    const DsType *module_type = nullptr;
    const DsType *builtin_type = nullptr;
    const DsKeyNode *key = nullptr;
    const DsAlarm *alarm = nullptr;
};

View
look()
{
    View view;
    view.head = reg_first_module();
    for (const DsModule *module = view.head; module != nullptr; module = module->next)
        ++view.records;
    view.indexed = view.head != nullptr && reg_has_type_index(view.head);
    view.module_type = ds_find_type("oper-state");
    view.builtin_type = ds_find_type("interface");
    view.key = ds_find_key("/system/hostname", true);
    view.alarm = ds_find_alarm("/system/boot-time");
    return view;
}

} // namespace

TEST(FirstLookup, ThreadsStartingTogetherShareOneCompleteList)
{
    ASSERT_EQ(module_list, nullptr) << "the list must still be empty when this test starts";
    std::atomic<int> waiting{0};
    std::vector<View> views(kThreads);
    std::vector<std::thread> threads;
    dstest::StderrCapture capture;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            waiting.fetch_add(1);
            while (waiting.load() < kThreads)
                std::this_thread::yield();
            first_call(t);
            views[t] = look();
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(capture.text(), "");

    const DsModule *head = module_list;
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->types, ds_global_types);
    const std::vector<const DsModule *> records = dstest::module_records();
    ASSERT_EQ(records.size(), 2u);
    // pair0 has no types.
    const DsModule *example = records[0]->type_count > 0 ? records[0] : records[1];
    const DsKeyNode *hostname = ds_find_key("/system/hostname", true);
    ASSERT_NE(hostname, nullptr);
    ASSERT_NE(ds_find_alarm("/system/boot-time"), nullptr);

    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        const View &view = views[t];
        EXPECT_EQ(view.head, head);
        EXPECT_EQ(view.records, 3u);
        EXPECT_TRUE(view.indexed);
        ASSERT_NE(view.module_type, nullptr);
        EXPECT_EQ(view.module_type, &example->types[0]);
        EXPECT_EQ(view.builtin_type, &ds_global_types[28]);
        EXPECT_EQ(view.key, hostname);
        EXPECT_EQ(view.alarm, &example->alarms[2]);
    }
}

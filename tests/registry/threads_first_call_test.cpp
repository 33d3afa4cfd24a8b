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
#include <thread>
#include <vector>

namespace
{

constexpr int kThreads = 8;

// The first call of a thread; each of them builds the list when it is empty.
void
first_call(int which)
{
    uint8_t dst[2];
    auto ignore = [](void *, const DsKeyNode *) {};
    switch (which % 6) {
    case 0:
        ds_find_type("oper-state");
        break;
    case 1:
        ds_find_key("/system/hostname", true);
        break;
    case 2:
        ds__all_keys(ignore, nullptr);
        break;
    case 3:
        ds__do_key("/al1/k", true, ignore, nullptr);
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
    const DsKeyNode *key = nullptr;
    const DsAlarm *alarm = nullptr;
};

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
            View &view = views[t];
            view.head = reg_first_module();
            for (const DsModule *module = view.head; module != nullptr; module = module->next)
                ++view.records;
            view.indexed = view.head != nullptr && reg_has_type_index(view.head);
            view.module_type = ds_find_type("oper-state");
            view.key = ds_find_key("/system/hostname", true);
            view.alarm = ds_find_alarm("/system/boot-time");
        });
    }
    for (std::thread &thread : threads)
        thread.join();
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
        EXPECT_EQ(views[t].module_type, &example->types[0]);
        EXPECT_EQ(views[t].key, hostname);
        EXPECT_EQ(views[t].alarm, &example->alarms[2]);
    }
}

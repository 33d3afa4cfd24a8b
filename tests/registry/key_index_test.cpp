// The indexes of the module list against the walks they replace. Keys: paths
// made from every key of every loaded forest, typed levels filled with names
// of literal siblings, JSON texts or unknown names; each path also cut short,
// extended and misspelt. Types: every name of every table, and near misses.
#include "dstest.h"
#include "keys/keys.h"
#include "registry/key_index.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace
{

std::vector<const DsKeyNode *> walked;

// A component for one level: its name, or for a typed level any text.
std::string
component(const DsKeyNode *level, std::mt19937 &rng, const std::vector<const DsKeyNode *> &all)
{
    if (level->field_type == nullptr)
        return level->name != nullptr ? level->name : "";
    switch (rng() % 3) {
    case 0:
        return component(all[rng() % all.size()], rng, all);
    case 1:
        return "\"v/" + std::to_string(rng() % 100) + "\"";
    default:
        return std::to_string(rng() % 1000);
    }
}

std::vector<std::string>
paths_for(const DsKeyNode *key, std::mt19937 &rng, const std::vector<const DsKeyNode *> &all)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    if (depth == 0)
        return {}; // deeper than a level list holds
    std::string path;
    for (uint32_t i = 0; i < depth; ++i)
        path.append("/").append(component(levels[i], rng, all));
    std::string longer = path + '/' + component(all[rng() % all.size()], rng, all);
    std::string parent(path, 0, path.find_last_of('/'));
    return {path, longer, parent, path + "x", path.substr(0, path.size() - 1)};
}

// The reference: every forest in list order, matched on its own.
std::vector<std::pair<const DsModule *, const DsKeyNode *>>
walk_all(const char *path)
{
    std::vector<std::pair<const DsModule *, const DsKeyNode *>> out;
    PathComponents parts(path);
    for (const DsModule *m = reg_first_module(); m != nullptr && parts.count() > 0; m = m->next) {
        const DsKeyNode *node =
            m->keys ? match_components(parts.data(), parts.count(), reg_forest(m)) : nullptr;
        if (node != nullptr)
            out.emplace_back(m, node);
    }
    return out;
}

const DsAlarm *
alarm_scan(const DsModule *module, const DsKeyNode *node)
{
    for (uint16_t i = 0; i < module->alarm_count; ++i)
        if (module->alarms[i].key == node)
            return &module->alarms[i];
    return nullptr;
}

} // namespace

TEST(KeyIndex, AgreesWithTheForestWalkForEveryKeyAndNearMisses)
{
    ASSERT_EQ(dstest::load_stderr(), "");
    ASSERT_NE(reg_key_index(reg_first_module()), nullptr);
    std::vector<const DsKeyNode *> all;
    ds__all_keys([](void *, const DsKeyNode *node) { walked.push_back(node); }, nullptr);
    all.swap(walked);
    ASSERT_GE(all.size(), 30u);
    std::mt19937 rng(7);
    size_t checked = 0, found = 0;
    for (int round = 0; round < 4; ++round) {
        for (const DsKeyNode *key : all) {
            for (const std::string &path : paths_for(key, rng, all)) {
                auto want = walk_all(path.c_str());
                for (bool leaf_only : {false, true}) {
                    const DsKeyNode *expect = want.empty() ? nullptr : want[0].second;
                    if (leaf_only && expect != nullptr && expect->leaf_type == nullptr)
                        expect = nullptr;
                    ASSERT_EQ(ds_find_key(path.c_str(), leaf_only), expect) << path;
                    std::vector<const DsKeyNode *> calls; // what ds__do_key must call back with
                    for (const auto &[module, node] : want)
                        if (!leaf_only || node->leaf_type != nullptr)
                            calls.push_back(node);
                    walked.clear();
                    int called = ds__do_key(
                        path.c_str(), leaf_only,
                        [](void *, const DsKeyNode *n) { walked.push_back(n); }, nullptr);
                    EXPECT_EQ(walked, calls) << path;
                    EXPECT_EQ(called, calls.empty() ? 0 : 1) << path;
                }
                const DsAlarm *alarm = nullptr;
                if (!want.empty() && want[0].second->leaf_type != nullptr)
                    alarm = alarm_scan(want[0].first, want[0].second);
                EXPECT_EQ(ds_find_alarm(path.c_str()), alarm) << path;
                ++checked;
                found += !want.empty();
            }
        }
    }
    // The premise: most paths name a key, and many do not.
    EXPECT_GT(found, checked / 4);
    EXPECT_LT(found, checked);
}

TEST(TypeIndex, AgreesWithTheTableWalkForEveryNameAndNearMisses)
{
    ASSERT_EQ(dstest::load_stderr(), "");
    const DsModule *first = reg_first_module();
    ASSERT_TRUE(reg_has_type_index(first));
    std::vector<std::string> names = {"", "u", "U32", "u320", "interface-", "oper-state\n"};
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            std::string name = module->types[i].name != nullptr ? module->types[i].name : "";
            names.insert(names.end(), {name, name + "x", name.substr(0, name.size() / 2)});
        }
    }
    for (const std::string &name : names)
        EXPECT_EQ(ds_find_type(name.c_str()), reg_find_type_linear(first, name.c_str())) << name;
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]);
}

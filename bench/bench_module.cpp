// A generated schema module for the lookup benchmarks: 100 int types and a key
// forest of 10,000 nodes (100 top-level literal keys with 99 leaf children
// each). Every name carries the module number, so that a name is found in one
// module only and a lookup of the last module's names walks the whole list.
// The tables are built at compile time; BENCH_MODULE picks the module number.
#include "dstypes.h"

#ifndef BENCH_MODULE
#error "BENCH_MODULE must give the module number"
#endif

namespace
{

constexpr int kTypeCount = 100;
constexpr int kTopCount = 100;
constexpr int kChildCount = 99;
constexpr int kNodeCount = kTopCount * (1 + kChildCount);
constexpr int kNameSize = 24;

struct Names {
    char type[kTypeCount][kNameSize];
    char top[kTopCount][kNameSize];
    char child[kChildCount][kNameSize];
};

constexpr int
put_number(char *out, int pos, int value)
{
    char digits[12] = {};
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0)
        out[pos++] = digits[--n];
    return pos;
}

// "m<module>_<tag><index>", or "<tag><index>" when module is negative.
constexpr void
put_name(char *out, int module, char tag, int index)
{
    int pos = 0;
    if (module >= 0) {
        out[pos++] = 'm';
        pos = put_number(out, pos, module);
        out[pos++] = '_';
    }
    out[pos++] = tag;
    pos = put_number(out, pos, index);
    out[pos] = '\0';
}

constexpr Names
make_names()
{
    Names names{};
    for (int i = 0; i < kTypeCount; ++i)
        put_name(names.type[i], BENCH_MODULE, 't', i);
    for (int i = 0; i < kTopCount; ++i)
        put_name(names.top[i], BENCH_MODULE, 'k', i);
    for (int i = 0; i < kChildCount; ++i)
        put_name(names.child[i], -1, 'c', i);
    return names;
}

constexpr Names names = make_names();

struct TypeTable {
    DsType rows[kTypeCount];
};

struct KeyForest {
    DsKeyNode nodes[kNodeCount];
};

constexpr TypeTable
make_types()
{
    TypeTable table{};
    for (int i = 0; i < kTypeCount; ++i) {
        DsType &t = table.rows[i];
        t.name = names.type[i];
        t.kind = DS_KIND_INT;
        t.size = 4;
        t.p.integer = {0, 1000 + i};
    }
    return table;
}

} // namespace

extern "C" {
__attribute__((visibility("default"))) extern const TypeTable ds_types;
__attribute__((visibility("default"))) extern const uint16_t ds_type_count;
__attribute__((visibility("default"))) extern const KeyForest ds_keys;
}

constinit const TypeTable ds_types = make_types();
constinit const uint16_t ds_type_count = kTypeCount;

namespace
{

// Top-level key i sits at index i * 100 and its children follow it directly.
constexpr KeyForest
make_forest()
{
    KeyForest forest{};
    const int stride = 1 + kChildCount;
    for (int i = 0; i < kTopCount; ++i) {
        DsKeyNode &top = forest.nodes[i * stride];
        top.name = names.top[i];
        top.first_child = 1;
        top.next_sibling = static_cast<int16_t>(i + 1 < kTopCount ? stride : 0);
        for (int j = 0; j < kChildCount; ++j) {
            DsKeyNode &child = forest.nodes[i * stride + 1 + j];
            child.name = names.child[j];
            child.parent = static_cast<int16_t>(-(j + 1));
            child.next_sibling = static_cast<int16_t>(j + 1 < kChildCount ? 1 : 0);
            child.leaf_type = &ds_types.rows[j % kTypeCount];
        }
    }
    return forest;
}

} // namespace

constinit const KeyForest ds_keys = make_forest();

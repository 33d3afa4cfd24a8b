// Random descriptor graphs, as a schema module might declare them, with
// random values through both converters. The input first builds up to eight
// types, each referring only to types built before it (so the graph is
// acyclic); the last one is converted. A quarter of the graphs are hostile:
// sizes that do not cover their parts, kinds and converter numbers out of
// range, missing element, base and discriminator types. Then come one byte
// for the length of the packed value, the packed bytes (in a buffer of
// exactly that length) and a JSON text.
//
// Properties: nothing is read or written outside the caller's buffers (ASan
// checks that for every graph). For a consistent graph, validation agrees
// with conversion, and a packed value that converts to JSON converts back to
// a packed form that reads the same.
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace
{

const char *const kFieldNames[] = {"a", "b", "c", "d", "e"};
const char *const kRowNames[] = {"r0", "r1", "r2", "r3", "r4"};
const char *const kPatterns[] = {".*", "^[a-z]*$", "[0-9]", "^$", "x|y"};

const DsType *
builtin(size_t row)
{
    return &ds_global_types[row];
}

class Graph
{
  public:
    explicit Graph(fuzz::Input &in) : in_(in), hostile_(in.byte() % 4 == 0)
    {
        unsigned count = 1 + in.byte() % 8;
        for (unsigned i = 0; i < count; ++i)
            types_.push_back(make());
    }
    const DsType *
    top() const
    {
        return &types_.back();
    }
    bool
    hostile() const
    {
        return hostile_;
    }

  private:
    // A type built earlier, or one of a few built-in rows; null now and then
    // in a hostile graph.
    const DsType *
    earlier()
    {
        uint8_t pick = in_.byte();
        if (hostile_ && pick == 0xFF)
            return nullptr;
        size_t index = pick % (types_.size() + 3);
        if (index < types_.size())
            return &types_[index];
        static const size_t kRows[] = {2, 5, 8}; // u8, i32, word
        return builtin(kRows[index - types_.size()]);
    }

    // The latest earlier type of one of the integer kinds, else a built-in one.
    const DsType *
    earlier_integer(bool enums_too)
    {
        if (hostile_ && in_.byte() % 8 == 0)
            return earlier();
        for (auto it = types_.rbegin(); it != types_.rend(); ++it) {
            if (it->kind == DS_KIND_INT || (enums_too && it->kind == DS_KIND_ENUM))
                return &*it;
        }
        return builtin(in_.byte() % 2 == 0 ? 2 : 3); // u8 or i8
    }

    int64_t
    in_width(unsigned width, bool is_signed)
    {
        uint64_t raw = 0;
        for (unsigned i = 0; i < 8; ++i)
            raw = raw << 8 | in_.byte();
        if (width == 8)
            return is_signed ? static_cast<int64_t>(raw) : static_cast<int64_t>(raw >> 1);
        uint64_t span = uint64_t{1} << (8 * width);
        int64_t value = static_cast<int64_t>(raw % span);
        return is_signed ? value - static_cast<int64_t>(span / 2) : value;
    }

    DsType
    make_int()
    {
        static const unsigned kWidths[] = {1, 2, 4, 8};
        unsigned width = kWidths[in_.byte() % 4];
        bool is_signed = in_.byte() % 2 == 0;
        int64_t a = in_width(width, is_signed);
        int64_t b = in_width(width, is_signed);
        DsType t{nullptr, DS_KIND_INT, static_cast<uint16_t>(width), {}};
        t.p.integer.min = a < b ? a : b;
        t.p.integer.max = a < b ? b : a;
        return t;
    }

    DsType
    make_enum()
    {
        const DsType *base = earlier_integer(false);
        auto &rows = rows_.emplace_back();
        unsigned count = in_.byte() % 5;
        for (unsigned i = 0; i < count; ++i)
            rows.push_back({kRowNames[i], static_cast<int8_t>(in_.byte())});
        DsType t{nullptr, DS_KIND_ENUM, base != nullptr ? base->size : uint16_t{1}, {}};
        t.p.enumeration = {base, count, rows.data()};
        return t;
    }

    DsType
    make_array()
    {
        const DsType *element = earlier();
        uint32_t max_count = in_.byte() % 5;
        uint32_t size = 2 + max_count * (element != nullptr ? element->size : 0);
        if (size > UINT16_MAX) {
            max_count = 0;
            size = 2;
        }
        DsType t{nullptr, DS_KIND_ARRAY, static_cast<uint16_t>(size), {}};
        t.p.array.max_count = max_count;
        t.p.array.element = element;
        return t;
    }

    // Appends count fields named after their position in the table, so that
    // no two fields of one run share a name; returns their total size.
    uint32_t
    add_fields(std::vector<DsField> &fields, unsigned count)
    {
        uint32_t size = 0;
        for (unsigned i = 0; i < count; ++i) {
            const DsType *type = earlier();
            fields.push_back({kFieldNames[i], type});
            size += type != nullptr ? type->size : 0;
        }
        return size;
    }

    DsType
    make_sequence()
    {
        auto &fields = fields_.emplace_back();
        uint32_t size = add_fields(fields, in_.byte() % 5);
        if (size > UINT16_MAX) {
            fields.clear();
            size = 0;
        }
        DsType t{nullptr, DS_KIND_SEQUENCE, static_cast<uint16_t>(size), {}};
        t.p.sequence = {static_cast<uint32_t>(fields.size()), fields.data()};
        return t;
    }

    // Arm a lists values congruent to a modulo 4, so that in a consistent
    // graph no value selects two arms.
    DsType
    make_choice()
    {
        const DsType *discriminator = earlier_integer(true);
        auto &fields = fields_.emplace_back();
        fields.push_back({"kind", discriminator});
        unsigned member_count = in_.byte() % 5;
        add_fields(fields, member_count);
        auto &arms = arms_.emplace_back();
        unsigned arm_count = member_count > 0 ? in_.byte() % 4 : 0;
        uint32_t largest = 0;
        for (unsigned a = 0; a < arm_count; ++a) {
            auto &values = values_.emplace_back();
            for (unsigned v = in_.byte() % 3 + 1; v > 0; --v)
                values.push_back(hostile_ ? in_.byte() % 8 : a + 4 * (in_.byte() % 3));
            uint16_t first = static_cast<uint16_t>(1 + in_.byte() % member_count);
            uint16_t count = static_cast<uint16_t>(in_.byte() % (member_count + 2 - first));
            uint32_t size = 0;
            for (unsigned f = first; f < first + count; ++f)
                size += fields[f].type != nullptr ? fields[f].type->size : 0;
            largest = size > largest ? size : largest;
            arms.push_back({values.data(), static_cast<uint32_t>(values.size()), first, count});
        }
        uint32_t size = (discriminator != nullptr ? discriminator->size : 0) + largest;
        DsType t{nullptr, DS_KIND_CHOICE, static_cast<uint16_t>(size > UINT16_MAX ? 0 : size), {}};
        t.p.choice = {arm_count, fields.data(), arms.data()};
        return t;
    }

    DsType
    make_converted()
    {
        uint64_t converter = in_.byte() % (hostile_ ? 6 : 4);
        // The string rows whose texts converters 1 to 3 read, and their widths.
        static const size_t kTextRows[] = {0, 9, 14, 12};
        static const uint16_t kWidths[] = {0, 4, 16, 6};
        const DsType *base = nullptr;
        uint16_t size = 0;
        if (converter >= 1 && converter <= 3) {
            base = builtin(kTextRows[converter]);
            size = kWidths[converter];
        } else {
            base = earlier();
            if (!hostile_ && base != nullptr && base->kind == DS_KIND_STRING)
                base = builtin(28); // interface
            size = base != nullptr ? base->size : 4;
        }
        DsType t{nullptr, DS_KIND_CONVERTED, size, {}};
        t.p.converted.base = base;
        t.p.converted.converter = converter;
        return t;
    }

    DsType
    make_by_kind(unsigned kind)
    {
        switch (kind) {
        case DS_KIND_INT:
            return make_int();
        case DS_KIND_DOUBLE:
            return DsType{nullptr, DS_KIND_DOUBLE, 8, {}};
        case DS_KIND_STRING: {
            DsType t{nullptr, DS_KIND_STRING, static_cast<uint16_t>(1 + in_.byte() % 40), {}};
            t.p.string.regex = kPatterns[in_.byte() % 5];
            return t;
        }
        case DS_KIND_ENUM:
            return make_enum();
        case DS_KIND_ARRAY:
            return make_array();
        case DS_KIND_SEQUENCE:
            return make_sequence();
        case DS_KIND_CHOICE:
            return make_choice();
        case DS_KIND_BITMAP: {
            uint32_t bits = in_.byte() % 100;
            DsType t{nullptr, DS_KIND_BITMAP, static_cast<uint16_t>((bits + 7) / 8), {}};
            t.p.bitmap.bit_count = bits;
            return t;
        }
        default:
            return make_converted();
        }
    }

    // In a hostile graph the size is then cut down, replaced or zeroed, and
    // now and then the kind is pushed out of range.
    DsType
    make()
    {
        unsigned kind = in_.byte() % 9;
        DsType t = make_by_kind(kind);
        if (!hostile_)
            return t;
        switch (in_.byte() % 5) {
        case 0:
            t.size = static_cast<uint16_t>(t.size * in_.byte() / 256);
            break;
        case 1:
            t.size = in_.byte() % 64;
            break;
        case 2:
            t.size = 0;
            break;
        case 3:
            t.kind = 9 + in_.byte();
            break;
        default:
            break;
        }
        return t;
    }

    fuzz::Input &in_;
    bool hostile_;
    std::deque<DsType> types_;
    std::deque<std::vector<DsField>> fields_;
    std::deque<std::vector<DsChoiceArm>> arms_;
    std::deque<std::vector<int64_t>> values_;
    std::deque<std::vector<DsEnumValue>> rows_;
};

// A heap block of exactly size bytes (one byte for size 0, never read).
std::vector<uint8_t>
exact(size_t size)
{
    return std::vector<uint8_t>(size != 0 ? size : 1);
}

void
packed_round_trip(const Graph &graph, const std::vector<uint8_t> &bytes)
{
    const DsType *type = graph.top();
    const uint8_t *data = bytes.empty() ? nullptr : bytes.data();
    ds_c_value_is_valid(type, data, static_cast<uint32_t>(bytes.size()));
    json_object *jo = ds_c_to_jo(type, data, bytes.size());
    if (jo == nullptr)
        return;
    std::string text = fuzz::text_of(jo);
    std::vector<uint8_t> out = exact(type->size);
    bool converts = ds_jo_to_c(type, jo, out.data(), type->size) != nullptr;
    bool valid = ds_jo_value_is_valid(type, jo);
    if (!graph.hostile()) {
        fuzz::require(converts && valid, "what converts to JSON converts back", text);
        json_object *again = ds_c_to_jo(type, out.data(), type->size);
        fuzz::require(fuzz::text_of(again) == text, "repacked value reads the same",
                      text + " vs " + fuzz::text_of(again));
        json_object_put(again);
    }
    int err = 0;
    std::free(ds_canonical_jo(jo, type, &err));
}

void
json_round_trip(const Graph &graph, const std::string &text)
{
    const DsType *type = graph.top();
    json_object *jo = json_tokener_parse(text.c_str());
    std::vector<uint8_t> out = exact(type->size);
    bool converts = ds_jo_to_c(type, jo, out.data(), type->size) != nullptr;
    bool valid = ds_jo_value_is_valid(type, jo);
    if (!graph.hostile())
        fuzz::require(converts == valid, "validation agrees with conversion", text);
    std::vector<uint8_t> typed = exact(type->size);
    ds_type_to_c(type, text.c_str(), typed.data(), type->size);
    json_object_put(jo);
    int err = 0;
    std::free(ds_canonical_json(text.c_str(), type, &err));
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    Graph graph(in);
    size_t length = in.byte();
    length = length < in.left() ? length : in.left();
    std::vector<uint8_t> bytes(in.data(), in.data() + length);
    for (size_t i = 0; i < length; ++i)
        in.byte();
    packed_round_trip(graph, bytes);
    json_round_trip(graph, in.rest_text());
    return 0;
}

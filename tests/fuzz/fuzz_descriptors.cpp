// Random descriptor graphs as a schema module might declare them: up to eight
// types, each referring only to earlier ones; the last is converted both ways
// (fuzz::check_packed, fuzz::check_text). A quarter are hostile (sizes that do
// not cover their parts, kinds and converters out of range, missing element,
// base and discriminator types): only ASan judges those. Input: the graph, a
// byte for the packed length, the packed bytes, then a JSON text.
#include "fuzz_support.h"

#include <deque>

namespace
{

const char *const kFieldNames[] = {"a", "b", "c", "d", "e"};
const char *const kRowNames[] = {"r0", "r1", "r2", "r3", "r4"};
const char *const kPatterns[] = {".*", "^[a-z]*$", "[0-9]", "^$", "x|y"};

uint16_t
size_of(const DsType *type, uint16_t missing = 0)
{
    return type != nullptr ? type->size : missing;
}

// Reads the bytes of each type in a fixed order, which the kept corpus needs.
// The deques keep the tables in place.
struct Graph {
    fuzz::Input &in_;
    const bool hostile;
    std::deque<DsType> types_;
    std::deque<std::vector<DsField>> fields_;
    std::deque<std::vector<DsChoiceArm>> arms_;
    std::deque<std::vector<int64_t>> values_;
    std::deque<std::vector<DsEnumValue>> rows_;

    explicit Graph(fuzz::Input &in) : in_(in), hostile(in.byte() % 4 == 0)
    {
        for (unsigned count = 1 + in.byte() % 8; count > 0; --count)
            types_.push_back(make());
    }

    // A type built earlier, or one of the built-in u8, i32 and word; null now
    // and then in a hostile graph.
    const DsType *
    earlier()
    {
        uint8_t pick = in_.byte();
        if (hostile && pick == 0xFF)
            return nullptr;
        size_t index = pick % (types_.size() + 3);
        static const size_t kRows[] = {2, 5, 8};
        return index < types_.size() ? &types_[index]
                                     : &ds_global_types[kRows[index - types_.size()]];
    }

    // The latest earlier type of one of the integer kinds, else u8 or i8.
    const DsType *
    earlier_integer(bool enums_too)
    {
        if (hostile && in_.byte() % 8 == 0)
            return earlier();
        for (auto it = types_.rbegin(); it != types_.rend(); ++it)
            if (it->kind == DS_KIND_INT || (enums_too && it->kind == DS_KIND_ENUM))
                return &*it;
        return &ds_global_types[in_.byte() % 2 == 0 ? 2 : 3];
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

    // Appends count fields named after their position, so that no two fields
    // of one run share a name; returns their total size.
    uint32_t
    add_fields(std::vector<DsField> &fields, unsigned count)
    {
        uint32_t size = 0;
        for (unsigned i = 0; i < count; ++i) {
            fields.push_back({kFieldNames[i], earlier()});
            size += size_of(fields.back().type);
        }
        return size;
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
                values.push_back(hostile ? in_.byte() % 8 : a + 4 * (in_.byte() % 3));
            uint16_t first = static_cast<uint16_t>(1 + in_.byte() % member_count);
            uint16_t count = static_cast<uint16_t>(in_.byte() % (member_count + 2 - first));
            uint32_t size = 0;
            for (unsigned f = first; f < first + count; ++f)
                size += size_of(fields[f].type);
            largest = size > largest ? size : largest;
            arms.push_back({values.data(), static_cast<uint32_t>(values.size()), first, count});
        }
        uint32_t size = size_of(discriminator) + largest;
        DsType t{nullptr, DS_KIND_CHOICE, static_cast<uint16_t>(size > UINT16_MAX ? 0 : size), {}};
        t.p.choice = {arm_count, fields.data(), arms.data()};
        return t;
    }

    // Converters 1 to 3 read the texts of these string rows, at these widths.
    void
    make_converted(DsType &t)
    {
        static const size_t kTextRows[] = {0, 9, 14, 12};
        static const uint16_t kWidths[] = {0, 4, 16, 6};
        uint64_t converter = in_.byte() % (hostile ? 6 : 4);
        const DsType *base = &ds_global_types[kTextRows[converter % 4]];
        if (converter >= 1 && converter <= 3) {
            t.size = kWidths[converter];
        } else {
            base = earlier();
            if (!hostile && base != nullptr && base->kind == DS_KIND_STRING)
                base = &ds_global_types[28]; // interface
            t.size = size_of(base, 4);
        }
        t.p.converted = {base, converter};
    }

    DsType
    make_by_kind(unsigned kind)
    {
        DsType t{nullptr, kind, 0, {}};
        const DsType *base = nullptr;
        switch (kind) {
        case DS_KIND_INT: {
            t.size = static_cast<uint16_t>(1u << in_.byte() % 4);
            bool is_signed = in_.byte() % 2 == 0;
            int64_t a = in_width(t.size, is_signed);
            int64_t b = in_width(t.size, is_signed);
            t.p.integer = {a < b ? a : b, a < b ? b : a};
            break;
        }
        case DS_KIND_DOUBLE:
            t.size = 8;
            break;
        case DS_KIND_STRING:
            t.size = static_cast<uint16_t>(1 + in_.byte() % 40);
            t.p.string.regex = kPatterns[in_.byte() % 5];
            break;
        case DS_KIND_ENUM: {
            base = earlier_integer(false);
            auto &rows = rows_.emplace_back();
            for (unsigned i = 0, count = in_.byte() % 5; i < count; ++i) {
                int64_t value = static_cast<int8_t>(in_.byte());
                // A consistent table lists only values its base type holds:
                // packing takes any listed value, unpacking checks the base.
                if (hostile || base->kind != DS_KIND_INT ||
                    (value >= base->p.integer.min && value <= base->p.integer.max))
                    rows.push_back({kRowNames[i], value});
            }
            t.size = size_of(base, 1);
            t.p.enumeration = {base, static_cast<uint32_t>(rows.size()), rows.data()};
            break;
        }
        case DS_KIND_ARRAY: {
            base = earlier();
            uint32_t max_count = in_.byte() % 5;
            uint32_t size = 2 + max_count * size_of(base);
            t.size = static_cast<uint16_t>(size > UINT16_MAX ? 2 : size);
            t.p.array = {size > UINT16_MAX ? 0 : max_count, base};
            break;
        }
        case DS_KIND_SEQUENCE: {
            auto &fields = fields_.emplace_back();
            uint32_t size = add_fields(fields, in_.byte() % 5);
            if (size > UINT16_MAX)
                fields.clear();
            t.size = static_cast<uint16_t>(size > UINT16_MAX ? 0 : size);
            t.p.sequence = {static_cast<uint32_t>(fields.size()), fields.data()};
            break;
        }
        case DS_KIND_CHOICE:
            return make_choice();
        case DS_KIND_BITMAP:
            t.p.bitmap.bit_count = in_.byte() % 100;
            t.size = static_cast<uint16_t>((t.p.bitmap.bit_count + 7) / 8);
            break;
        default:
            make_converted(t);
        }
        return t;
    }

    // In a hostile graph the size is then cut down, replaced or zeroed, and
    // now and then the kind is pushed out of range.
    DsType
    make()
    {
        DsType t = make_by_kind(in_.byte() % 9);
        unsigned damage = hostile ? in_.byte() % 5 : 4;
        if (damage == 0)
            t.size = static_cast<uint16_t>(t.size * in_.byte() / 256);
        else if (damage == 1)
            t.size = in_.byte() % 64;
        else if (damage == 2)
            t.size = 0;
        else if (damage == 3)
            t.kind = 9 + in_.byte();
        return t;
    }
};

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    Graph graph(in);
    std::vector<uint8_t> bytes = in.take(in.byte());
    fuzz::check_packed(&graph.types_.back(), bytes, !graph.hostile);
    fuzz::check_text(&graph.types_.back(), in.rest_text(), !graph.hostile);
    return 0;
}

// dstool compat, type part: whether a new descriptor reads every packed value
// that an old one wrote, and reads it as the same value. The packed form is
// what a device keeps, so every byte counts: size, kind, signedness, field
// offsets and element types, enumeration numbers, bitmap width, array and
// string room. A new descriptor that accepts more (a wider range in the same
// bytes, new enumeration values, new bits or arms) is a compatible change.
#include "compat.h"

#include <unordered_map>

namespace dstool
{

namespace
{

constexpr size_t kMaxWork = 4'000'000; // rows compared in one run, at most
constexpr unsigned kMaxBaseHops = 16;  // converter-0 wrappers followed, at most
constexpr size_t kMaxChanges = 16;     // changes listed for one value, at most

Change
breaking(const std::string &what)
{
    return Change{true, "", what};
}

Change
compatible(const std::string &what)
{
    return Change{false, "", what};
}

std::string
bytes_text(uint64_t size)
{
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

std::string
range_text(int64_t min, int64_t max)
{
    return std::to_string(min) + ".." + std::to_string(max);
}

// A converted type with converter 0 is its base in packed and JSON form, so
// a base wrapped in one or more of them reads as the base itself.
const DsType *
through_base(const DsType *type)
{
    for (unsigned hops = 0; hops < kMaxBaseHops && type != nullptr; ++hops) {
        if (type->kind != DS_KIND_CONVERTED || type->p.converted.converter != DS_CONVERT_BASE ||
            type->p.converted.base == nullptr)
            return type;
        type = type->p.converted.base;
    }
    return type;
}

bool
has_breaking(const Changes &changes)
{
    for (const Change &change : changes) {
        if (change.breaking)
            return true;
    }
    return false;
}

std::string
text_or_none(const char *text)
{
    if (text == nullptr)
        return "(none)";
    std::string out(1, '"');
    out += printable(text, 40);
    return out += '"';
}

// Enumeration rows name values; dsgen names an identity "module:identity".
std::string
value_noun(const char *name)
{
    return std::strchr(name, ':') != nullptr ? "identity " : "value ";
}

} // namespace

// A value that reaches one changed descriptor along many ways (a field table
// whose rows share a type, nested again and again) lists the first ways
// only, so that the changes stay few however often the pair is met.
void
add_changes(Changes &out, const Changes &part, const std::string &prefix)
{
    for (const Change &change : part) {
        if (out.size() < kMaxChanges) {
            out.push_back(Change{change.breaking, prefix + change.where, change.what});
            continue;
        }
        if (out.size() == kMaxChanges)
            out.push_back(Change{false, "", "more changes not listed"});
        out.back().breaking = out.back().breaking || change.breaking;
    }
}

bool
TypeComparer::step(size_t rows)
{
    work_ += rows;
    if (work_ > kMaxWork)
        stopped_ = true;
    return !stopped_;
}

Changes
TypeComparer::compare(const DsType *old_type, const DsType *new_type)
{
    return compare_at(old_type, new_type, 0);
}

Changes
TypeComparer::compare_at(const DsType *old_type, const DsType *new_type, unsigned depth)
{
    const DsType *o = through_base(old_type);
    const DsType *n = through_base(new_type);
    if (o == n)
        return {};
    if (o == nullptr || n == nullptr)
        return {breaking(o == nullptr ? "a type where there was none" : "no type any more")};
    auto pair = std::make_pair(o, n);
    auto done = done_.find(pair);
    if (done != done_.end())
        return done->second;
    if (active_.count(pair) != 0)
        return {};
    if (depth >= core::kMaxDepth)
        return {breaking("not compared: nested deeper than " + std::to_string(core::kMaxDepth) +
                         " descriptors")};
    if (!step())
        return {breaking("not compared: the comparison stopped after " + std::to_string(kMaxWork) +
                         " steps")};
    active_.insert(pair);
    Changes changes = compare_kind(o, n, depth);
    active_.erase(pair);
    if (!has_breaking(changes) && o->size != n->size)
        changes.push_back(
            breaking("size " + std::to_string(o->size) + " -> " + bytes_text(n->size)));
    done_.emplace(pair, changes);
    return changes;
}

Changes
TypeComparer::compare_kind(const DsType *o, const DsType *n, unsigned depth)
{
    if (o->kind != n->kind)
        return {breaking("kind " + kind_label(o->kind) + " (" + bytes_text(o->size) + ") -> " +
                         kind_label(n->kind) + " (" + bytes_text(n->size) + ")")};
    return core::KindVisit::visit(*this, o->kind, o, n, depth);
}

Changes
TypeComparer::on_double(const DsType *, const DsType *, unsigned)
{
    return {}; // 8 bytes either way
}

Changes
TypeComparer::on_sequence(const DsType *o, const DsType *n, unsigned depth)
{
    return compare_fields(o->p.sequence.fields, o->p.sequence.field_count, n->p.sequence.fields,
                          n->p.sequence.field_count, depth);
}

// Converters 1 to 3 fix the packed form; the others read nothing.
Changes
TypeComparer::on_converted(const DsType *o, const DsType *n, unsigned)
{
    if (o->p.converted.converter == n->p.converted.converter)
        return {};
    return {breaking("converter " + std::to_string(o->p.converted.converter) + " -> " +
                     std::to_string(n->p.converted.converter))};
}

Changes
TypeComparer::on_unknown_kind(uint32_t, const DsType *, const DsType *, unsigned)
{
    return {}; // dstool check names a kind it does not know
}

// Integers: the same width, the same reading of the stored bytes (a sign
// change matters only for stored values with the top bit set) and a range
// that holds every old value.
Changes
TypeComparer::on_int(const DsType *o, const DsType *n, unsigned)
{
    if (o->size != n->size)
        return {breaking("size " + std::to_string(o->size) + " -> " + bytes_text(n->size))};
    int64_t omin = o->p.integer.min, omax = o->p.integer.max;
    int64_t nmin = n->p.integer.min, nmax = n->p.integer.max;
    Changes out;
    bool old_signed = omin < 0, new_signed = nmin < 0;
    if (old_signed != new_signed && o->size < 8) {
        int64_t top = int64_t{1} << (8 * o->size - 1);
        if (!old_signed && omax >= top)
            out.push_back(breaking("unsigned -> signed: stored " +
                                   range_text(top > omin ? top : omin, omax) +
                                   " read back negative"));
        if (old_signed)
            out.push_back(breaking("signed -> unsigned: stored " + range_text(omin, -1) +
                                   " read back as large numbers"));
    }
    std::string change = "range " + range_text(omin, omax) + " -> " + range_text(nmin, nmax);
    if (omin > omax || (nmin <= omin && nmax >= omax)) {
        if (nmin != omin || nmax != omax)
            out.push_back(compatible(change));
        return out;
    }
    std::string refused;
    if (omin < nmin)
        refused = range_text(omin, nmax < nmin - 1 ? nmax : nmin - 1);
    if (omax > nmax)
        refused += (refused.empty() ? "" : ", ") + range_text(omin > nmax ? omin : nmax + 1, omax);
    out.push_back(breaking(change + " (stored " + refused + " refused)"));
    return out;
}

// Texts: the room is the size less the terminating NUL. A changed pattern may
// refuse stored texts; which ones is not decidable here, so it breaks unless
// the new pattern accepts every text.
Changes
TypeComparer::on_string(const DsType *o, const DsType *n, unsigned)
{
    Changes out;
    if (o->size != n->size)
        out.push_back(breaking("room " + std::to_string(o->size > 0 ? o->size - 1 : 0) + " -> " +
                               std::to_string(n->size > 0 ? n->size - 1 : 0) + " characters"));
    const char *op = o->p.string.regex, *np = n->p.string.regex;
    bool same = (op == nullptr && np == nullptr) ||
                (op != nullptr && np != nullptr && std::strcmp(op, np) == 0);
    if (same)
        return out;
    bool accepts_all = np == nullptr || std::strcmp(np, "") == 0 || std::strcmp(np, ".*") == 0;
    std::string change = "pattern " + text_or_none(op) + " -> " + text_or_none(np);
    out.push_back(accepts_all ? compatible(change)
                              : breaking(change + " (stored texts may be refused)"));
    return out;
}

// Enumerations: the base reads the stored number; every old name keeps its
// number, and no old number is lost.
Changes
TypeComparer::on_enum(const DsType *o, const DsType *n, unsigned depth)
{
    Changes out;
    const DsType *ob = o->p.enumeration.base, *nb = n->p.enumeration.base;
    if (ob != nullptr && nb != nullptr)
        out = compare_at(ob, nb, depth + 1);
    uint32_t oc = o->p.enumeration.count, nc = n->p.enumeration.count;
    const DsEnumValue *ov = o->p.enumeration.values, *nv = n->p.enumeration.values;
    if (!step(size_t{oc} + nc))
        return {breaking("not compared: the comparison stopped after " + std::to_string(kMaxWork) +
                         " steps")};
    std::unordered_map<std::string_view, int64_t> new_by_name;
    std::set<int64_t> old_numbers;
    for (uint32_t i = 0; nv != nullptr && i < nc; ++i) {
        if (nv[i].name != nullptr)
            new_by_name.emplace(nv[i].name, nv[i].value);
    }
    for (uint32_t i = 0; ov != nullptr && i < oc; ++i) {
        if (ov[i].name == nullptr)
            continue;
        old_numbers.insert(ov[i].value);
        auto found = new_by_name.find(ov[i].name);
        std::string name = value_noun(ov[i].name) + printable(ov[i].name, 60);
        if (found == new_by_name.end())
            out.push_back(breaking(name + " (" + std::to_string(ov[i].value) + ") removed"));
        else if (found->second != ov[i].value)
            out.push_back(breaking(name + " renumbered " + std::to_string(ov[i].value) + " -> " +
                                   std::to_string(found->second)));
    }
    std::set<std::string_view> old_names;
    for (uint32_t i = 0; ov != nullptr && i < oc; ++i) {
        if (ov[i].name != nullptr)
            old_names.insert(ov[i].name);
    }
    for (uint32_t i = 0; nv != nullptr && i < nc; ++i) {
        if (nv[i].name == nullptr || old_names.count(nv[i].name) != 0)
            continue;
        std::string name = value_noun(nv[i].name) + printable(nv[i].name, 60);
        if (old_numbers.count(nv[i].value) != 0)
            out.push_back(breaking("new " + name + " = " + std::to_string(nv[i].value) +
                                   " takes a stored number"));
        else
            out.push_back(compatible("new " + name + " = " + std::to_string(nv[i].value)));
    }
    return out;
}

Changes
TypeComparer::on_array(const DsType *o, const DsType *n, unsigned depth)
{
    Changes out;
    if (o->p.array.max_count != n->p.array.max_count)
        out.push_back(breaking("room " + std::to_string(o->p.array.max_count) + " -> " +
                               std::to_string(n->p.array.max_count) + " elements"));
    add_changes(out, compare_at(o->p.array.element, n->p.array.element, depth + 1), "[]");
    return out;
}

// Fields back to back: the same number, each with its name and a type that
// reads its bytes, so that every offset stays where it was.
Changes
TypeComparer::compare_fields(const DsField *o, uint32_t old_count, const DsField *n,
                             uint32_t new_count, unsigned depth)
{
    Changes out;
    if (old_count != new_count)
        out.push_back(
            breaking("fields " + std::to_string(old_count) + " -> " + std::to_string(new_count)));
    uint32_t common = old_count < new_count ? old_count : new_count;
    if (o == nullptr || n == nullptr || !step(common))
        return out;
    for (uint32_t i = 0; i < common; ++i) {
        std::string oname = o[i].name != nullptr ? printable(o[i].name, 60) : "(no name)";
        std::string nname = n[i].name != nullptr ? printable(n[i].name, 60) : "(no name)";
        if (oname != nname)
            out.push_back(
                breaking("field " + std::to_string(i) + " renamed " + oname + " -> " + nname));
        add_changes(out, compare_at(o[i].type, n[i].type, depth + 1), "." + oname);
    }
    return out;
}

// Choices: the discriminator, then per stored discriminator value the arm
// that reads its members. A value that gains an arm where it had none reads
// the bytes that were written as zero filler: only a compatible change when
// the old arm had no members either, which is how it is treated.
Changes
TypeComparer::on_choice(const DsType *o, const DsType *n, unsigned depth)
{
    const DsField *of = o->p.choice.fields, *nf = n->p.choice.fields;
    if (of == nullptr || nf == nullptr)
        return {};
    Changes out;
    std::string disc = of[0].name != nullptr ? printable(of[0].name, 60) : "(no name)";
    add_changes(out, compare_at(of[0].type, nf[0].type, depth + 1), "." + disc);
    uint32_t oa = o->p.choice.arm_count, na = n->p.choice.arm_count;
    const DsChoiceArm *oarms = o->p.choice.arms, *narms = n->p.choice.arms;
    std::map<int64_t, const DsChoiceArm *> new_arm, old_arm;
    for (uint32_t a = 0; narms != nullptr && a < na && step(narms[a].value_count); ++a) {
        for (uint32_t v = 0; narms[a].values != nullptr && v < narms[a].value_count; ++v)
            new_arm.emplace(narms[a].values[v], &narms[a]);
    }
    std::set<std::pair<const DsChoiceArm *, const DsChoiceArm *>> compared;
    for (uint32_t a = 0; oarms != nullptr && a < oa && step(oarms[a].value_count); ++a) {
        const DsChoiceArm &arm = oarms[a];
        for (uint32_t v = 0; arm.values != nullptr && v < arm.value_count; ++v) {
            int64_t value = arm.values[v];
            old_arm.emplace(value, &arm);
            std::string where = "(" + disc + " " + std::to_string(value) + ")";
            auto found = new_arm.find(value);
            if (found == new_arm.end()) {
                if (arm.field_count != 0)
                    out.push_back(Change{true, where, "no arm any more: members not read"});
                continue;
            }
            if (!compared.insert({&arm, found->second}).second)
                continue;
            Changes members =
                compare_fields(of + arm.first_field, arm.field_count,
                               nf + found->second->first_field, found->second->field_count, depth);
            add_changes(out, members, where);
        }
    }
    for (const auto &[value, arm] : new_arm) {
        if (old_arm.count(value) == 0 && arm->field_count != 0)
            out.push_back(compatible("new arm for " + disc + " " + std::to_string(value)));
    }
    return out;
}

Changes
TypeComparer::on_bitmap(const DsType *o, const DsType *n, unsigned)
{
    uint32_t ob = o->p.bitmap.bit_count, nb = n->p.bitmap.bit_count;
    std::string change = "bits " + std::to_string(ob) + " -> " + std::to_string(nb);
    if (o->size != n->size)
        return {
            breaking(change + ", size " + std::to_string(o->size) + " -> " + bytes_text(n->size))};
    if (nb < ob)
        return {breaking(change + " (stored bits " + std::to_string(nb) + ".." +
                         std::to_string(ob - 1) + " refused)")};
    if (nb > ob)
        return {compatible(change)};
    return {};
}

} // namespace dstool

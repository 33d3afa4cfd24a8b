// The parts of the JSON reading walk (core/json_read.h) that every sink
// shares unchanged: how an object's members are matched with a run of
// fields, and how long an address text may be. Header only; nothing here
// allocates.
#ifndef DSTYPES_CORE_JSON_PARTS_H
#define DSTYPES_CORE_JSON_PARTS_H

#include "dstypes.h"

#include <arpa/inet.h>
#include <json-c/json.h>

#include <cstdint>
#include <cstring>

namespace core
{

// Slots of the member table of a sequence or choice arm held on the
// stack. Field counts come from module data, so a longer run of fields is
// matched in chunks of this many, scanning the object's members again for
// each chunk: any count works without the heap and without risking the
// stack.
constexpr uint32_t kSlotChunk = 64;

// The index of the first of fields[0 .. limit) named name; limit when
// none is.
inline uint32_t
first_field_named(const DsField *fields, uint32_t limit, const char *name)
{
    for (uint32_t i = 0; i < limit; ++i) {
        if (fields[i].name != nullptr && std::strcmp(fields[i].name, name) == 0)
            return i;
    }
    return limit;
}

// The first member that is no field of the run, or null; the
// discriminator of a choice is the one name allowed besides them.
inline const char *
unknown_member(const char *discriminator_name, const DsField *fields, uint32_t field_count,
               json_object *jo)
{
    json_object_iterator it = json_object_iter_begin(jo);
    json_object_iterator end = json_object_iter_end(jo);
    for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it)) {
        const char *name = json_object_iter_peek_name(&it);
        if (first_field_named(fields, field_count, name) < field_count)
            continue;
        if (discriminator_name == nullptr || std::strcmp(name, discriminator_name) != 0)
            return name;
    }
    return nullptr;
}

// Fills slots[0 .. n) with the members that belong to fields[first ..
// first + n). A member belongs to the first field of its name only, so a
// later field of the same name keeps an empty slot.
inline void
collect_members(const DsField *fields, uint32_t first, uint32_t n, json_object *jo,
                json_object **slots)
{
    for (uint32_t i = 0; i < n; ++i)
        slots[i] = nullptr;
    json_object_iterator it = json_object_iter_begin(jo);
    json_object_iterator end = json_object_iter_end(jo);
    for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it)) {
        uint32_t index = first_field_named(fields, first + n, json_object_iter_peek_name(&it));
        if (index >= first && index < first + n)
            slots[index - first] = json_object_iter_peek_value(&it);
    }
}

// False when the text is longer than any that inet_pton accepts for the
// converter's family (INET_ADDRSTRLEN and INET6_ADDRSTRLEN hold the
// longest with its NUL), so that it fails whatever its pattern says. A MAC
// text has no such bound: sscanf reads digit runs, blanks and signs of any
// length.
inline bool
address_fits(uint64_t converter, const char *text)
{
    size_t longest = 0;
    if (converter == DS_CONVERT_IPV4)
        longest = INET_ADDRSTRLEN - 1;
    else if (converter == DS_CONVERT_IPV6)
        longest = INET6_ADDRSTRLEN - 1;
    else
        return true;
    return strnlen(text, longest + 1) <= longest;
}

} // namespace core

#endif

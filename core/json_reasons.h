// The words of the JSON reading walk's refusals (core/json_read.h): each
// fills a Refusal with its rule, its message and what the type allows there.
// Only the reasons' sink calls them, so the library, whose sink never asks
// why, needs none of them.
#ifndef DSTYPES_CORE_JSON_REASONS_H
#define DSTYPES_CORE_JSON_REASONS_H

#include "core/bit_text.h"
#include "core/reason_text.h"

#include <json-c/json.h>

namespace core
{

// ".name", the place of a member.
std::string member_place(const char *name);

void why_no_type(Refusal &r);
void why_too_deep(Refusal &r);
void why_unknown_kind(Refusal &r, const DsType *type);
// The JSON value is of the wrong kind; for an int or enum type the words
// name its range or its rows.
void why_json_kind(Refusal &r, const char *expected, json_object *jo, const DsType *type);
// need bytes of a part, with only left of the type's size left for it.
void why_short(Refusal &r, uint64_t need, uint32_t left);
// An integer of width bytes that could not be packed.
void why_no_int_room(Refusal &r, const DsType *type, uint32_t width, uint32_t left);
void why_room(Refusal &r, const DsType *type, const char *text, size_t length);
void why_enum_broken(Refusal &r, const DsType *type);
void why_bool_only(Refusal &r, const DsType *type);
void why_not_in_enum(Refusal &r, const DsType *type, json_object *jo);
void why_array_size(Refusal &r, const DsType *type, size_t count);
void why_no_fields(Refusal &r, const DsType *type);
void why_unknown_member(Refusal &r, const char *name, const char *discriminator,
                        const DsField *fields, uint32_t count);
// Field name has no member, or a null one, in jo.
void why_no_member(Refusal &r, const char *name, json_object *jo, const char *discriminator,
                   const DsField *fields, uint32_t count);
void why_discriminator(Refusal &r, const DsType *choice);
void why_no_discriminator(Refusal &r, const char *name, json_object *jo);
void why_bit_text(Refusal &r, const DsType *type, const char *text, const BitTextError &error);
void why_address(Refusal &r, uint64_t converter, const char *text);
void why_converter(Refusal &r, const DsType *type);

} // namespace core

#endif

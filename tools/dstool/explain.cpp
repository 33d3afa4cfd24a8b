// Why a value is refused, in dstool's words: the core names the part that
// fails, the rule and what the type allows there; this file writes it as
// "PLACE: byte N: REASON (in the arm for ARM)". It is asked only after the
// library has said no.
#include "core/refusal.h"
#include "dstool.h"

namespace dstool
{

namespace
{

std::string
message(const core::Refusal &refusal)
{
    std::string text = refusal.path;
    if (!text.empty())
        text += ": ";
    if (refusal.byte >= 0)
        text += "byte " + std::to_string(refusal.byte) + ": ";
    text += refusal.message;
    for (const std::string &arm : refusal.arms)
        text += " (in the arm for " + arm + ")";
    return text;
}

} // namespace

std::string
why_json_refused(const DsType *type, json_object *jo)
{
    core::Refusal refusal = core::why_json(type, jo);
    return refusal ? message(refusal) : "";
}

std::string
why_packed_refused(const DsType *type, const uint8_t *bytes, size_t size)
{
    core::Refusal refusal = core::why_packed(type, bytes, size);
    return refusal ? message(refusal) : "";
}

} // namespace dstool

// The error record that the document calls hand to their callers: where a
// document or entry was refused and why, released with ds_doc_error_free.
#include "document/doc.h"

#include <memory>
#include <new>

namespace doc
{

int
set_error(DsDocError **out, std::string_view where, std::string_view reason) noexcept
{
    if (out == nullptr)
        return -1;
    *out = nullptr;
    try {
        auto error = std::make_unique<DsDocError>();
        error->where = where;
        error->reason = reason;
        *out = error.release();
    } catch (const std::bad_alloc &) {
        // the caller learns of the failure from the result alone
    }
    return -1;
}

} // namespace doc

extern "C" {

DOC_EXPORT const char *
ds_doc_error_where(const DsDocError *error)
{
    return error != nullptr ? error->where.c_str() : "";
}

DOC_EXPORT const char *
ds_doc_error_reason(const DsDocError *error)
{
    return error != nullptr ? error->reason.c_str() : "";
}

DOC_EXPORT void
ds_doc_error_free(DsDocError *error)
{
    delete error;
}

} // extern "C"

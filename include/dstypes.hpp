/**
 * @file dstypes.hpp
 * @brief libdstypes for C++20: ownership in types, results as values, key
 *        arguments checked by the compiler.
 *
 * A header-only layer over the C functions of dstypes.h. It compiles with
 * -fno-exceptions and throws nothing:
 *
 * - ds::Json owns one json-c reference and ds::Buffer one block that the
 *   library allocated (a canonical text, a packed field value). Both are
 *   move-only; nothing here asks the caller to call json_object_put or free.
 * - Every operation that can fail returns a ds::Result: the value, or a
 *   ds::Error with the library's code or errno and a reason. Where the library
 *   logs a failure, the reason holds the same words as its log line.
 * - Key building takes packed values of trivially copyable types (the packed
 *   structs of schema modules among them) and passes each with its exact size
 *   and the list's terminator itself. A raw pointer, a value that is not
 *   trivially copyable or a JSON argument that is not an owner does not
 *   compile. Each value's size is checked against its level's field type.
 *
 * Values that enter through this header are refused where the library would
 * silently change them or JSON does not allow them: JSON text with anything
 * but blanks after its first value, text holding a NUL byte or a \u0000
 * escape, integers outside the signed 64-bit range (json-c clamps them),
 * numbers that are not finite (1e400, NaN, Infinity), a member name given
 * twice in one object, invalid UTF-8, comments and trailing commas, key paths
 * cut short by their buffer and keys deeper than the library builds.
 *
 * Texts arrive as std::string_view and are read strictly here, with json-c's
 * tokener, which is told the text's length and says where the value ended
 * (dstypes_json.hpp; dstool reads its inputs the same way); so parse(), the
 * text forms of from_json() and canonical(), and the field extraction do not
 * log. Their results carry the words the library would have logged.
 *
 * The wrappers allocate nothing of their own: the only heap blocks are those of
 * json-c and of the C call they stand for (the tokeners that json-c allocates
 * for every parse, the library's own parse included, and the field buffer).
 *
 * The families live in headers of their own, all included here: results and
 * owners (dstypes_base.hpp), strict JSON reading (dstypes_json.hpp) and
 * parse() over it (dstypes_parse.hpp), cutting key paths (dstypes_path.hpp), views and lookups (dstypes_views.hpp), key
 * building and fields (dstypes_keys.hpp).
 */
#ifndef DSTYPES_HPP
#define DSTYPES_HPP

#include "dstypes.h"
#include "dstypes_base.hpp"
#include "dstypes_json.hpp"
#include "dstypes_keys.hpp"
#include "dstypes_parse.hpp"
#include "dstypes_path.hpp"
#include "dstypes_views.hpp"

#include <json-c/json.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <variant>

namespace ds
{

/** ds_c_to_jo over exactly the type's size: a shorter or longer value is refused. */
[[nodiscard]] inline Result<Json>
to_json(Type type, std::span<const std::byte> packed) noexcept
{
    if (!type)
        return Error{EINVAL, detail::kNoType};
    if (packed.size() != type.size())
        return Error{EINVAL, detail::kSizeDiffers};
    if (json_object *jo = ds_c_to_jo(type.get(), packed.data(), packed.size()))
        return Json(jo);
    return Error{EINVAL, "packed value is not valid for its type"};
}

template <PackedValue T>
[[nodiscard]] Result<Json>
to_json(Type type, const T &value) noexcept
{
    return to_json(type, detail::bytes_of(value));
}

/** ds_c_value_is_valid: the packed value is valid and exactly the type's size. */
[[nodiscard]] inline Status
is_valid(Type type, std::span<const std::byte> packed) noexcept
{
    if (!type)
        return Error{EINVAL, detail::kNoType};
    if (packed.size() != type.size())
        return Error{EINVAL, detail::kSizeDiffers};
    if (!ds_c_value_is_valid(type.get(), packed.data(), static_cast<uint32_t>(packed.size())))
        return Error{EINVAL, "packed value is not valid for its type"};
    return std::monostate();
}

/** ds_jo_value_is_valid, refusing integers outside the signed 64-bit range. */
[[nodiscard]] inline Status
is_valid(Type type, const Json &value) noexcept
{
    if (!type)
        return Error{EINVAL, detail::kNoType};
    if (detail::holds_wide_integer(value.get()))
        return Error{EINVAL, detail::kWideInteger};
    if (!ds_jo_value_is_valid(type.get(), value.get()))
        return Error{EINVAL, "JSON value is not valid for its type"};
    return std::monostate();
}

/**
 * ds_jo_to_c into dst, under its size rules (an int or enum may widen into a
 * larger dst, a string may have room to spare). A failed conversion may leave
 * part of a value in dst; code is the errno the library set.
 */
[[nodiscard]] inline Status
from_json(Type type, const Json &value, std::span<std::byte> dst) noexcept
{
    if (!type)
        return Error{EINVAL, detail::kNoType};
    if (detail::holds_wide_integer(value.get()))
        return Error{EINVAL, detail::kWideInteger};
    errno = 0;
    if (ds_jo_to_c(type.get(), value.get(), dst.data(), dst.size()) == nullptr)
        return Error{errno, "JSON value does not convert to its type"};
    return std::monostate();
}

/** from_json of the text's value; dst is cleared first, as ds_type_to_c does. */
[[nodiscard]] inline Status
from_json(Type type, std::string_view text, std::span<std::byte> dst) noexcept
{
    std::memset(dst.data(), 0, dst.size());
    Result<Json> value = parse(text);
    if (!value)
        return value.error();
    if (!*value)
        return Error{EINVAL, "JSON null is no value"};
    return from_json(type, *value, dst);
}

/** from_json into a new value of T, zero where the conversion writes nothing. */
template <PackedValue T>
[[nodiscard]] Result<T>
from_json(Type type, const Json &value) noexcept
{
    T out{};
    Status done = from_json(type, value, std::as_writable_bytes(std::span(&out, 1)));
    if (!done)
        return done.error();
    return out;
}

/**
 * ds_canonical_jo: the canonical text of value under type. Consumes value on
 * every path, as the library does. An empty owner (JSON null) fails with code
 * 0; the library's codes DS_ERR_BAD_JSON, DS_ERR_TOO_LONG and DS_ERR_NOMEM come
 * back in code.
 */
[[nodiscard]] inline Result<Buffer>
canonical(Json value, Type type) noexcept
{
    if (!type)
        return Error{EINVAL, detail::kNoType};
    if (!value)
        return Error{0, "JSON null is no value"};
    if (detail::holds_wide_integer(value.get()))
        return Error{DS_ERR_BAD_JSON, detail::kWideInteger};
    int code = 0;
    char *text = ds_canonical_jo(value.release(), type.get(), &code);
    if (text != nullptr)
        return Buffer(text, std::strlen(text));
    if (code == DS_ERR_NOMEM)
        return Error{code, "allocating the canonical text failed"};
    return Error{code, detail::kBadJson, code == DS_ERR_TOO_LONG ? "value too long" : nullptr};
}

/** ds_canonical_json: the canonical text of a JSON text, checked as parse() does. */
[[nodiscard]] inline Result<Buffer>
canonical(std::string_view text, Type type) noexcept
{
    Result<Json> value = parse(text);
    if (!value)
        return value.error();
    return canonical(std::move(*value), type);
}

} // namespace ds

#endif /* DSTYPES_HPP */

/**
 * @file dstypes_keys.hpp
 * @brief Building key paths and taking fields out of field texts (included by
 *        dstypes.hpp).
 */
#ifndef DSTYPES_KEYS_HPP
#define DSTYPES_KEYS_HPP

#include "dstypes.h"
#include "dstypes_base.hpp"
#include "dstypes_parse.hpp"
#include "dstypes_path.hpp"
#include "dstypes_views.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <tuple>

namespace ds
{

namespace detail
{

inline constexpr const char *kNoField = "Bad extraction of data from a field no such field";
inline constexpr const char *kBadField = "Bad extraction of data from a field Bad field value";
inline constexpr const char *kTooFew = "Improperly built key for too few arguments";
inline constexpr const char *kTooMany = "Improperly built key for too many arguments";
inline constexpr const char *kBadArgument = "Improperly built key for bad argument";
inline constexpr const char *kSizeDiffers = "packed value size differs from its type's size";
inline constexpr const char *kNoRoom = "key path does not fit in the buffer";
inline constexpr const char *kNoType = "no type";

/**
 * The checks before a key is built: the key and buffer are usable, the key is
 * not deeper than the library builds, and exactly one value of the field
 * type's size comes for each typed level. values, when given, holds the packed
 * values' bytes.
 */
inline Error
check_key_arguments(std::span<char> buf, Key key, const std::span<const std::byte> *values,
                    uint32_t given) noexcept
{
    if (!key)
        return {EINVAL, "no key"};
    if (buf.size() < 2)
        return {ERANGE, kNoRoom};
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    const uint32_t depth = ds__get_key_levels(key.get(), levels, DS_MAX_KEY_LEVELS);
    if (depth == 0)
        return {EINVAL, "key deeper than the library builds"};
    uint32_t n = 0;
    for (uint32_t i = 0; i < depth; ++i) {
        const DsType *type = levels[i]->field_type;
        if (type == nullptr)
            continue;
        if (n == given)
            return {EINVAL, kTooFew, nullptr, n + 1};
        if (values != nullptr && values[n].size() != type->size)
            return {EINVAL, "packed value size differs from its level's field type", nullptr,
                    n + 1};
        ++n;
    }
    if (n < given)
        return {EINVAL, kTooMany, nullptr, n + 1};
    return {};
}

/** The built text, or a refusal when it may have been cut at the buffer's end. */
inline Result<std::string_view>
built_text(std::span<char> buf) noexcept
{
    const std::size_t length = strnlen(buf.data(), buf.size());
    if (length + 1 >= buf.size())
        return Error{ERANGE, kNoRoom};
    return std::string_view(buf.data(), length);
}

} // namespace detail

/**
 * ds_build_key: the key path of key into buf, one packed value per typed level,
 * top level first. Refused before the library is called: a key deeper than it
 * builds, too few or too many values ("Improperly built key for too few
 * arguments" / "... too many arguments"), and a value whose size differs from
 * its level's field type (field names the level). A value that the field type
 * rejects fails as the library logs it ("Improperly built key for bad
 * argument"). A text that fills buf may have been cut short and is refused
 * with ERANGE: give buf one byte to spare.
 */
template <class... Args>
requires(PackedArg<Args> &&...)
    [[nodiscard]] Result<std::string_view> build_key(std::span<char> buf, Key key,
                                                     const Args &...values) noexcept
{
    constexpr uint32_t given = sizeof...(Args);
    const std::span<const std::byte> bytes[given + 1] = {detail::bytes_of(values)..., {}};
    Error refused = detail::check_key_arguments(buf, key, bytes, given);
    if (refused.reason != nullptr)
        return refused;
    const char *built = std::apply(
        [&](auto... pairs) {
            return ds_build_key(buf.data(), buf.size(), key.get(), pairs...,
                                static_cast<const void *>(nullptr));
        },
        std::tuple_cat(std::tuple<const void *, std::size_t>(detail::bytes_of(values).data(),
                                                             detail::bytes_of(values).size())...));
    if (built == nullptr) {
        // The library stopped at the first value that does not convert.
        for (uint32_t n = 1; n <= given; ++n) {
            Json probe(
                ds_c_to_jo(key.field_type(n).get(), bytes[n - 1].data(), bytes[n - 1].size()));
            if (!probe)
                return Error{EINVAL, detail::kBadArgument, nullptr, n};
        }
        return Error{EINVAL, detail::kBadArgument};
    }
    return detail::built_text(buf);
}

/**
 * ds_build_jo_key: the key path of key into buf from owners of JSON values,
 * one per typed level. The library takes over every object whose text it
 * appended, and those owners are empty afterwards; on failure the rejected
 * owner and those after it keep their objects. Refused before the library is
 * called: the checks of build_key but the size, an empty owner, one object
 * given twice and integers outside the signed 64-bit range.
 */
template <class... Objects>
requires(JsonArg<Objects> &&...)
    [[nodiscard]] Result<std::string_view> build_jo_key(std::span<char> buf, Key key,
                                                        Objects &&...objects) noexcept
{
    constexpr uint32_t given = sizeof...(Objects);
    json_object *raw[given + 1] = {objects.get()..., nullptr};
    Error refused = detail::check_key_arguments(buf, key, nullptr, given);
    for (uint32_t i = 0; i < given && refused.reason == nullptr; ++i) {
        if (raw[i] == nullptr)
            refused = {EINVAL, "empty JSON owner", nullptr, i + 1};
        else if (detail::holds_wide_integer(raw[i]))
            refused = {EINVAL, detail::kWideInteger, nullptr, i + 1};
        for (uint32_t j = 0; j < i && refused.reason == nullptr; ++j) {
            if (raw[j] == raw[i])
                refused = {EINVAL, "one JSON object given twice", nullptr, i + 1};
        }
    }
    if (refused.reason != nullptr)
        return refused;
    // A reference of our own keeps every object alive through the call, so
    // that after a failure the objects can be asked which one was refused.
    for (uint32_t i = 0; i < given; ++i)
        json_object_get(raw[i]);
    const char *built = ds_build_jo_key(buf.data(), buf.size(), key.get(), objects.get()...,
                                        static_cast<json_object *>(nullptr));
    uint32_t taken = given;
    if (built == nullptr) {
        taken = 0;
        while (taken < given && ds_jo_value_is_valid(key.field_type(taken + 1).get(), raw[taken]))
            ++taken;
    }
    uint32_t i = 0;
    ((i++ < taken ? (void)objects.release() : void()), ...);
    for (i = 0; i < given; ++i)
        json_object_put(raw[i]);
    if (built == nullptr)
        return Error{EINVAL, detail::kBadArgument, nullptr, taken + 1};
    return detail::built_text(buf);
}

namespace detail
{

/** Field n of a field text as a JSON value, and its field type. */
inline Result<Json>
field_value(std::string_view text, Key key, uint32_t n, Type &type) noexcept
{
    type = key.field_type(n);
    if (!type)
        return Error{EINVAL, kNoField, nullptr, n};
    if (!text.empty() && std::memchr(text.data(), '\0', text.size()) != nullptr)
        return Error{EINVAL, "text holds a NUL byte", nullptr, n};
    std::size_t start = 0;
    for (uint32_t i = 1; i < n; ++i) {
        start = component_end(text, start);
        if (start >= text.size())
            return Error{EINVAL, kNoField, nullptr, n};
        ++start;
    }
    const std::string_view component = text.substr(start, component_end(text, start) - start);
    Result<Json> value = parse(component);
    if (value.ok() && !*value)
        return Error{EINVAL, kBadField, json_tokener_error_desc(json_tokener_success), n};
    if (!value) {
        const Error &e = value.error();
        return Error{EINVAL, e.reason == kBadJson ? kBadField : e.reason, e.detail, n};
    }
    return value;
}

} // namespace detail

/**
 * ds_key_field_jo: field n (from 1) of a field text, the typed levels' JSON
 * texts joined by "/", as a JSON value not checked against its field type. A
 * component with anything after its value is refused.
 */
[[nodiscard]] inline Result<Json>
field_json(std::string_view text, Key key, uint32_t n) noexcept
{
    Type type;
    return detail::field_value(text, key, n, type);
}

/** ds_key_field_c: field n in the packed form of its field type, in a new Buffer. */
[[nodiscard]] inline Result<Buffer>
field_packed(std::string_view text, Key key, uint32_t n) noexcept
{
    Type type;
    Result<Json> value = detail::field_value(text, key, n, type);
    if (!value)
        return value.error();
    void *p = std::malloc(type.size());
    if (p == nullptr)
        return Error{ENOMEM, "allocation failed", nullptr, n};
    Buffer packed(p, type.size());
    errno = 0;
    if (ds_jo_to_c(type.get(), value->get(), p, packed.size()) == nullptr)
        return Error{errno, "field value does not convert to its field type", nullptr, n};
    return packed;
}

/** Field n as a packed value of T, whose size must be the field type's. */
template <PackedValue T>
[[nodiscard]] Result<T>
field_packed_as(std::string_view text, Key key, uint32_t n) noexcept
{
    if (key && key.field_type(n) && key.field_type(n).size() != sizeof(T))
        return Error{EINVAL, "packed value size differs from its level's field type", nullptr, n};
    Type type;
    Result<Json> value = detail::field_value(text, key, n, type);
    if (!value)
        return value.error();
    T out{};
    errno = 0;
    if (ds_jo_to_c(type.get(), value->get(), &out, sizeof out) == nullptr)
        return Error{errno, "field value does not convert to its field type", nullptr, n};
    return out;
}

} // namespace ds

#endif /* DSTYPES_KEYS_HPP */

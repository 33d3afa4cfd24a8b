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
 * silently change them: JSON text with anything but blanks after its first
 * value, text holding a NUL byte, integers outside the signed 64-bit range
 * (json-c clamps them), key paths cut short by their buffer and keys deeper
 * than the library builds.
 *
 * Texts arrive as std::string_view and are parsed here with json-c's tokener,
 * which is told the text's length and says where the value ended; so parse(),
 * the text forms of from_json() and canonical(), and the field extraction do
 * not log. Their results carry the words the library would have logged.
 *
 * The wrappers allocate nothing of their own: the only heap blocks are those of
 * json-c and of the C call they stand for (the tokener that json-c allocates
 * for every parse, the library's own parse included, and the field buffer).
 */
#ifndef DSTYPES_HPP
#define DSTYPES_HPP

#include "dstypes.h"

#include <json-c/json.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

namespace ds
{

/**
 * Why an operation failed. reason is never null in a failed result; every
 * text is static and stays valid for the life of the process.
 */
struct Error {
    int code =
        0; ///< DS_ERR_* of the canonical functions, or an errno value; 0 when the library gives none
    const char *reason = nullptr; ///< the library's log words where it logs, else this header's
    const char *detail = nullptr; ///< json-c's text for a syntax error, or null
    uint32_t field = 0;           ///< the typed level or field concerned (from 1), or 0
};

/**
 * A value or an Error. Which one must be looked at: the class is
 * [[nodiscard]]. A failed result holds a default value (an empty owner, a null
 * view), so reading it is never undefined.
 */
template <class T> class [[nodiscard]] Result
{
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(error) {}

    bool
    ok() const noexcept
    {
        return error_.reason == nullptr;
    }
    explicit operator bool() const noexcept { return ok(); }
    const Error &
    error() const noexcept
    {
        return error_;
    }

    T &
    operator*() &noexcept
    {
        return value_;
    }
    const T &
    operator*() const &noexcept
    {
        return value_;
    }
    T &&
    operator*() &&noexcept
    {
        return std::move(value_);
    }
    T *
    operator->() noexcept
    {
        return &value_;
    }
    const T *
    operator->() const noexcept
    {
        return &value_;
    }

  private:
    T value_{};
    Error error_{};
};

/** The result of an operation that yields nothing but its verdict. */
using Status = Result<std::monostate>;

/** Owner of one json-c reference, released with json_object_put. */
class Json
{
  public:
    Json() noexcept = default;
    /** Takes over the caller's reference to jo (which may be null). */
    explicit Json(json_object *jo) noexcept : jo_(jo) {}
    Json(Json &&other) noexcept : jo_(std::exchange(other.jo_, nullptr)) {}
    Json &
    operator=(Json &&other) noexcept
    {
        if (this != &other)
            json_object_put(std::exchange(jo_, std::exchange(other.jo_, nullptr)));
        return *this;
    }
    ~Json() { json_object_put(jo_); }

    json_object *
    get() const noexcept
    {
        return jo_;
    }
    /** Hands the reference back to the caller; the owner is empty afterwards. */
    [[nodiscard]] json_object *
    release() noexcept
    {
        return std::exchange(jo_, nullptr);
    }
    explicit operator bool() const noexcept { return jo_ != nullptr; }
    /** json-c's text of the value ("null" when empty), valid while the owner holds it. */
    std::string_view
    text() const noexcept
    {
        return json_object_to_json_string(jo_);
    }

  private:
    json_object *jo_ = nullptr;
};

/** Owner of a block that the library allocated with malloc: a text or packed bytes. */
class Buffer
{
  public:
    Buffer() noexcept = default;
    /** Takes over p, size bytes long (a text's size leaves out its NUL). */
    Buffer(void *p, std::size_t size) noexcept : p_(p), size_(size) {}
    Buffer(Buffer &&other) noexcept
        : p_(std::exchange(other.p_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    Buffer &
    operator=(Buffer &&other) noexcept
    {
        if (this != &other) {
            std::free(std::exchange(p_, std::exchange(other.p_, nullptr)));
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~Buffer() { std::free(p_); }

    std::size_t
    size() const noexcept
    {
        return size_;
    }
    std::span<const std::byte>
    bytes() const noexcept
    {
        return {static_cast<const std::byte *>(p_), size_};
    }
    std::string_view
    text() const noexcept
    {
        return {static_cast<const char *>(p_), size_};
    }

  private:
    void *p_ = nullptr;
    std::size_t size_ = 0;
};

/** A view of a type descriptor; descriptors live as long as the process. */
class Type
{
  public:
    Type() noexcept = default;
    Type(const DsType *type) noexcept : t_(type) {}
    Type(const DsType &type) noexcept : t_(&type) {}

    const DsType *
    get() const noexcept
    {
        return t_;
    }
    explicit operator bool() const noexcept { return t_ != nullptr; }
    /** The name; empty for an anonymous type. */
    std::string_view
    name() const noexcept
    {
        return t_ != nullptr && t_->name != nullptr ? t_->name : std::string_view();
    }
    /** The kind; DS_KIND_CONVERTED + 1 (no kind) for a null view. */
    DsKind
    kind() const noexcept
    {
        return static_cast<DsKind>(t_ != nullptr ? t_->kind : DS_KIND_CONVERTED + 1);
    }
    /** Bytes of the packed form; 0 for a null view. */
    std::size_t
    size() const noexcept
    {
        return t_ != nullptr ? t_->size : 0;
    }
    /** Fields of a sequence, or of a choice (field 0 its discriminator); else empty. */
    std::span<const DsField>
    fields() const noexcept
    {
        if (kind() == DS_KIND_SEQUENCE && t_->p.sequence.fields != nullptr)
            return {t_->p.sequence.fields, t_->p.sequence.field_count};
        if (kind() == DS_KIND_CHOICE && t_->p.choice.fields != nullptr) {
            uint32_t count = 0;
            for (const DsChoiceArm &arm : arms())
                count = std::max<uint32_t>(count, arm.first_field + arm.field_count);
            return {t_->p.choice.fields, count > 0 ? count : 1};
        }
        return {};
    }
    /** Arms of a choice; else empty. */
    std::span<const DsChoiceArm>
    arms() const noexcept
    {
        if (kind() != DS_KIND_CHOICE || t_->p.choice.arms == nullptr)
            return {};
        return {t_->p.choice.arms, t_->p.choice.arm_count};
    }
    /** Rows of an enumeration, in table order; else empty. */
    std::span<const DsEnumValue>
    enum_values() const noexcept
    {
        if (kind() != DS_KIND_ENUM || t_->p.enumeration.values == nullptr)
            return {};
        return {t_->p.enumeration.values, t_->p.enumeration.count};
    }

  private:
    const DsType *t_ = nullptr;
};

/** A view of a key node; key forests live as long as the process. */
class Key
{
  public:
    Key() noexcept = default;
    Key(const DsKeyNode *node) noexcept : k_(node) {}
    Key(const DsKeyNode &node) noexcept : k_(&node) {}

    const DsKeyNode *
    get() const noexcept
    {
        return k_;
    }
    explicit operator bool() const noexcept { return k_ != nullptr; }
    /** A literal level's component, or a typed level's field name. */
    std::string_view
    level_name() const noexcept
    {
        return k_->name;
    }
    Type
    leaf_type() const noexcept
    {
        return ds_key_leaf_type(k_);
    }
    /** The field type of typed level n (from 1); null when there is none. */
    Type
    field_type(uint32_t n) const noexcept
    {
        return k_ != nullptr ? ds_key_field_type(k_, n) : nullptr;
    }

  private:
    const DsKeyNode *k_ = nullptr;
};

/**
 * A NUL-terminated text: a C string, or a std::string without a NUL byte
 * inside. A std::string_view is not accepted, since it need not end in a NUL.
 */
class CText
{
  public:
    CText(const char *text) noexcept : p_(text) {}
    CText(const std::string &text) noexcept
        : p_(text.c_str()), cut_(text.find('\0') != std::string::npos)
    {
    }
    CText(std::string_view) = delete;

    const char *
    c_str() const noexcept
    {
        return p_;
    }
    /** Why the library could not take the text as it is, or null. */
    const char *
    refusal() const noexcept
    {
        if (p_ == nullptr)
            return "no text";
        return cut_ ? "text holds a NUL byte" : nullptr;
    }

  private:
    const char *p_;
    bool cut_ = false;
};

namespace detail
{

template <class T> struct is_span : std::false_type {
};
template <class T, std::size_t N> struct is_span<std::span<T, N>> : std::true_type {
};

} // namespace detail

/**
 * A packed value: the bytes of a trivially copyable object, such as the packed
 * structs generated for schema types or a plain integer. Pointers, spans and
 * the views of this header carry addresses, not values, and are excluded.
 */
template <class T>
concept PackedValue =
    std::is_trivially_copyable_v<T> && std::is_object_v<T> &&
    !std::is_pointer_v<std::remove_all_extents_t<T>> &&
    !std::is_member_pointer_v<T> && !std::is_null_pointer_v<T> && !detail::is_span<T>::value &&
    !std::is_same_v<T, std::string_view> && !std::is_same_v<T, Type> && !std::is_same_v<T, Key>;

/** A key argument: a packed value, packed bytes with their size, or a Buffer. */
template <class T>
concept PackedArg =
    PackedValue<T> || std::is_same_v<T, std::span<const std::byte>> || std::is_same_v<T, Buffer>;

/** An owner of a JSON object that a key builder may take over. */
template <class T>
concept JsonArg =
    std::is_same_v<std::remove_cvref_t<T>, Json> && !std::is_const_v<std::remove_reference_t<T>>;

namespace detail
{

template <PackedValue T>
std::span<const std::byte>
bytes_of(const T &value) noexcept
{
    return {reinterpret_cast<const std::byte *>(std::addressof(value)), sizeof(T)};
}
inline std::span<const std::byte>
bytes_of(std::span<const std::byte> bytes) noexcept
{
    return bytes;
}
inline std::span<const std::byte>
bytes_of(const Buffer &buffer) noexcept
{
    return buffer.bytes();
}

inline bool
all_digits_within(std::string_view digits, bool negative) noexcept
{
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    const std::string_view limit = negative ? "9223372036854775808" : "9223372036854775807";
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
}

/**
 * Whether a JSON text holds an integer literal outside the signed 64-bit
 * range. json-c clamps those silently. Strings (either quote) and comments,
 * which json-c accepts, are passed over.
 */
inline bool
has_wide_integer(std::string_view s) noexcept
{
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            for (++i; i < s.size() && s[i] != c; ++i)
                i += s[i] == '\\';
            continue;
        }
        if (c == '/' && i + 1 < s.size() && (s[i + 1] == '*' || s[i + 1] == '/')) {
            const std::size_t end = s[i + 1] == '*' ? s.find("*/", i + 2) : s.find('\n', i);
            if (end == std::string_view::npos)
                return false;
            i = end;
            continue;
        }
        if (c != '-' && !digit(c))
            continue;
        std::size_t j = i + (c == '-');
        const std::size_t first = j;
        while (j < s.size() && digit(s[j]))
            ++j;
        const bool integer = j == s.size() || (s[j] != '.' && s[j] != 'e' && s[j] != 'E');
        if (integer && j > first && !all_digits_within(s.substr(first, j - first), c == '-'))
            return true;
        while (j < s.size() && (digit(s[j]) || s[j] == '.' || s[j] == 'e' || s[j] == 'E' ||
                                s[j] == '+' || s[j] == '-'))
            ++j;
        i = j - 1;
    }
    return false;
}

/** Whether an object holds an unsigned integer above the signed 64-bit range. */
inline bool
holds_wide_integer(json_object *jo) noexcept
{
    switch (json_object_get_type(jo)) {
    case json_type_int:
        return json_object_get_int64(jo) == INT64_MAX &&
               json_object_get_uint64(jo) > uint64_t(INT64_MAX);
    case json_type_array:
        for (std::size_t i = 0; i < json_object_array_length(jo); ++i) {
            if (holds_wide_integer(json_object_array_get_idx(jo, i)))
                return true;
        }
        return false;
    case json_type_object: {
        json_object_object_foreach(jo, name, member)
        {
            (void)name;
            if (holds_wide_integer(member))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

inline constexpr const char *kWideInteger = "integer outside the signed 64-bit range";
inline constexpr const char *kBadJson = "Bad translation of JSON value";
inline constexpr const char *kNoField = "Bad extraction of data from a field no such field";
inline constexpr const char *kBadField = "Bad extraction of data from a field Bad field value";
inline constexpr const char *kTooFew = "Improperly built key for too few arguments";
inline constexpr const char *kTooMany = "Improperly built key for too many arguments";
inline constexpr const char *kBadArgument = "Improperly built key for bad argument";
inline constexpr const char *kSizeDiffers = "packed value size differs from its type's size";
inline constexpr const char *kNoRoom = "key path does not fit in the buffer";
inline constexpr const char *kNoType = "no type";

/**
 * Where the component that begins at p ends: at the next "/" outside a
 * double-quoted stretch, inside which a backslash escapes the next character;
 * or at the end of the text.
 */
inline std::size_t
component_end(std::string_view s, std::size_t p) noexcept
{
    bool quoted = false;
    for (; p < s.size(); ++p) {
        if (s[p] == '"')
            quoted = !quoted;
        else if (quoted && s[p] == '\\')
            ++p;
        else if (!quoted && s[p] == '/')
            return p;
    }
    return s.size();
}

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

/** The built-in types, in their fixed row order. */
inline std::span<const DsType>
builtin_types() noexcept
{
    return {ds_global_types, ds_global_type_count};
}

/** A view of one record of the module list. */
class Module
{
  public:
    explicit Module(const DsModule *m) noexcept : m_(m) {}
    const DsModule *
    get() const noexcept
    {
        return m_;
    }
    /** The module's type table; the built-in table for the first record. */
    std::span<const DsType>
    types() const noexcept
    {
        if (m_->types == nullptr)
            return {};
        return {m_->types, m_->type_count};
    }
    /** The first top-level node of its key forest, or a null key. */
    Key
    keys() const noexcept
    {
        return m_->keys;
    }
    bool
    builtin() const noexcept
    {
        return m_->handle == nullptr;
    }

  private:
    const DsModule *m_;
};

/** The module list, built-in record first, for range-for. */
class Modules
{
  public:
    class iterator
    {
      public:
        using value_type = Module;
        using difference_type = std::ptrdiff_t;
        explicit iterator(const DsModule *m = nullptr) noexcept : m_(m) {}
        Module
        operator*() const noexcept
        {
            return Module(m_);
        }
        iterator &
        operator++() noexcept
        {
            m_ = m_->next;
            return *this;
        }
        iterator
        operator++(int) noexcept
        {
            iterator before = *this;
            m_ = m_->next;
            return before;
        }
        bool operator==(const iterator &other) const noexcept = default;

      private:
        const DsModule *m_;
    };
    explicit Modules(const DsModule *head) noexcept : head_(head) {}
    iterator
    begin() const noexcept
    {
        return iterator(head_);
    }
    iterator
    end() const noexcept
    {
        return iterator();
    }

  private:
    const DsModule *head_;
};

/**
 * Every record of the module list, loading the modules first if no lookup has
 * yet. Empty when the module directory cannot be read.
 */
inline Modules
modules() noexcept
{
    // A lookup of the empty path loads the list and matches nothing.
    (void)ds_find_key("", false);
    return Modules(module_list);
}

/** ds_find_type: the built-in types first, then each module in list order. */
[[nodiscard]] inline Result<Type>
find_type(CText name) noexcept
{
    if (const char *refused = name.refusal())
        return Error{EINVAL, refused};
    if (const DsType *type = ds_find_type(name.c_str()))
        return Type(type);
    return Error{0, "no type of that name"};
}

/**
 * Parse one JSON value from text, as ds_json_to_jo does, but refuse a text that
 * holds a NUL byte, anything but blanks after the value, or an integer outside
 * the signed 64-bit range. The JSON literal null gives an empty owner. A syntax
 * error gives DS_ERR_BAD_JSON with json-c's description in detail.
 */
[[nodiscard]] inline Result<Json>
parse(std::string_view text) noexcept
{
    if (text.empty())
        text = std::string_view("", 0);
    if (std::memchr(text.data(), '\0', text.size()) != nullptr)
        return Error{DS_ERR_BAD_JSON, "text holds a NUL byte"};
    if (text.size() > INT32_MAX)
        return Error{DS_ERR_BAD_JSON, "text longer than json-c parses"};
    if (detail::has_wide_integer(text))
        return Error{DS_ERR_BAD_JSON, detail::kWideInteger};
    json_tokener *tok = json_tokener_new();
    if (tok == nullptr)
        return Error{DS_ERR_NOMEM, "allocation failed"};
    Json jo(json_tokener_parse_ex(tok, text.data(), static_cast<int>(text.size())));
    json_tokener_error error = json_tokener_get_error(tok);
    std::size_t end = json_tokener_get_parse_end(tok);
    if (error == json_tokener_continue) {
        // A value that may go on (a number, a literal) ends with the text.
        jo = Json(json_tokener_parse_ex(tok, "", 1));
        error = json_tokener_get_error(tok);
        end = text.size();
    }
    json_tokener_free(tok);
    if (error != json_tokener_success)
        return Error{DS_ERR_BAD_JSON, detail::kBadJson, json_tokener_error_desc(error)};
    if (text.find_first_not_of(" \t\n\r", end) != std::string_view::npos)
        return Error{DS_ERR_BAD_JSON, "text after the first JSON value"};
    return jo;
}

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

/** ds_find_key: the key that a key path names, in the first module that has it. */
[[nodiscard]] inline Result<Key>
find_key(CText path, bool leaf_only = false) noexcept
{
    if (const char *refused = path.refusal())
        return Error{EINVAL, refused};
    if (const DsKeyNode *node = ds_find_key(path.c_str(), leaf_only))
        return Key(node);
    return Error{0, leaf_only ? "no key with a leaf type has that path" : "no key has that path"};
}

namespace detail
{

template <class F>
void
call_with_key(void *ctx, const DsKeyNode *node) noexcept
{
    (*static_cast<F *>(ctx))(Key(node));
}

template <class F>
void *
context_of(F &f) noexcept
{
    return const_cast<std::remove_const_t<F> *>(std::addressof(f));
}

} // namespace detail

/**
 * ds__all_keys: calls f(Key) for every node of every module, modules in list
 * order, each forest parents first. f runs inside the C walk, so it must be
 * noexcept.
 */
template <class F>
requires std::is_nothrow_invocable_v<F &, Key>
void
all_keys(F &&f) noexcept
{
    using Fn = std::remove_reference_t<F>;
    ds__all_keys(&detail::call_with_key<Fn>, detail::context_of(f));
}

/**
 * ds__do_key: calls f(Key) once for every module whose forest has the path.
 * Returns whether f was called. A path that holds a NUL byte calls nothing.
 */
template <class F>
requires std::is_nothrow_invocable_v<F &, Key>
[[nodiscard]] bool
do_key(CText path, bool leaf_only, F &&f) noexcept
{
    if (path.refusal() != nullptr)
        return false;
    using Fn = std::remove_reference_t<F>;
    return ds__do_key(path.c_str(), leaf_only, &detail::call_with_key<Fn>, detail::context_of(f)) !=
           0;
}

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

#endif /* DSTYPES_HPP */

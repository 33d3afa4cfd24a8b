/**
 * @file dstypes_views.hpp
 * @brief Views of descriptors, key nodes and the module list, and the lookups
 *        (included by dstypes.hpp).
 */
#ifndef DSTYPES_VIEWS_HPP
#define DSTYPES_VIEWS_HPP

#include "dstypes.h"
#include "dstypes_base.hpp"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace ds
{

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

} // namespace ds

#endif /* DSTYPES_VIEWS_HPP */

/**
 * @file dstypes_doc.hpp
 * @brief libdstypes-doc for C++20: documents split into entries and joined
 *        back, with owners in types and results as values.
 *
 * A header-only layer over dstypes_doc.h in the manner of dstypes.hpp. It
 * compiles with -fno-exceptions and throws nothing:
 *
 * - ds::doc::Join owns a join and ds::doc::Error one refusal; both are
 *   move-only, and nothing here asks the caller to free anything.
 * - Every operation that can fail returns a ds::doc::Result: the value, or
 *   the Error that says where (the entry's key path, or the member's place in
 *   the document) and why, in the library's words.
 * - Texts arrive as std::string_view and packed values as
 *   std::span<const std::byte>. A key path holding a NUL byte is refused here
 *   (the C call would read it cut short at the NUL).
 *
 * Link with libdstypes-doc (pkg-config dstypes-doc, CMake dstypes::doc).
 */
#ifndef DSTYPES_DOC_HPP
#define DSTYPES_DOC_HPP

#include "dstypes_base.hpp"
#include "dstypes_doc.h"

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace ds::doc
{

/** A refusal: where and why. An Error without a record or reason means memory ran out. */
class Error
{
  public:
    Error() noexcept = default;
    /** Takes over error (which may be null). */
    explicit Error(DsDocError *error) noexcept : error_(error) {}
    /** A refusal of this header; reason is static text. */
    explicit Error(const char *reason) noexcept : own_(reason) {}

    /** The place: a key path, or a JSON pointer into the document. */
    std::string_view
    where() const noexcept
    {
        return error_ ? ds_doc_error_where(error_.get()) : "";
    }
    /** The reason, in the library's words. */
    std::string_view
    reason() const noexcept
    {
        return error_ ? ds_doc_error_reason(error_.get()) : own_ ? own_ : "out of memory";
    }

  private:
    struct Free {
        void
        operator()(DsDocError *error) const noexcept
        {
            ds_doc_error_free(error);
        }
    };
    std::unique_ptr<DsDocError, Free> error_;
    const char *own_ = nullptr;
};

/**
 * A value or an Error; [[nodiscard]], as ds::Result. A failed result holds a
 * default value, so reading it is never undefined.
 */
template <class T> class [[nodiscard]] Result : public ds::detail::BasicResult<T, Error>
{
  public:
    Result(T value) : ds::detail::BasicResult<T, Error>(std::move(value)) {}
    Result(Error error) : ds::detail::BasicResult<T, Error>(std::move(error), false) {}
};

/** The result of an operation that yields nothing but its verdict. */
using Status = Result<std::monostate>;

namespace detail
{

/** text as a NUL-terminated string, or false when it holds a NUL byte. */
inline bool
c_text(std::string_view text, std::string &out)
{
    if (text.find('\0') != std::string_view::npos)
        return false;
    out.assign(text);
    return true;
}

inline constexpr const char *kNulInPath = "the key path holds a NUL byte";

} // namespace detail

/** One entry of a split document; valid during the callback only. */
struct Entry {
    std::string_view path;            ///< the key path
    const DsKeyNode *key;             ///< its key node
    std::span<const std::byte> value; ///< the packed value; empty for an entry without one
};

/**
 * Splits the document text (the body of the node at, when at is not empty)
 * and hands each entry to fn in document order; fn returns true to go on.
 * The document is checked whole first: a refused document gives no entry
 * (memory that runs out while they are handed out may stop them partway).
 * Returns the number of entries handed out when fn never stopped the split.
 */
template <class F>
Result<std::size_t>
split(std::string_view text, std::string_view at, F &&fn)
{
    std::string at_text;
    if (!detail::c_text(at, at_text))
        return Error(detail::kNulInPath);
    struct Call {
        F &fn;
        std::size_t count = 0;
        static int
        entry(const DsDocEntry *e, void *arg) noexcept
        {
            auto *call = static_cast<Call *>(arg);
            ++call->count;
            Entry out{{e->path, e->path_len},
                      e->key,
                      {static_cast<const std::byte *>(e->value), e->value_len}};
            return call->fn(out) ? 0 : 1;
        }
    } call{fn};
    DsDocError *error = nullptr;
    int result = ds_doc_split(text.data(), text.size(), at_text.empty() ? nullptr : at_text.c_str(),
                              &Call::entry, &call, &error);
    if (result < 0)
        return Error(error);
    return call.count;
}

/** Entries gathered into one document (ds_doc_join_*). */
class Join
{
  public:
    Join() noexcept = default;

    /** A join of a whole data tree (at empty) or of the body of the node at. */
    static Result<Join>
    create(std::string_view at = {})
    {
        std::string at_text;
        if (!detail::c_text(at, at_text))
            return Error(detail::kNulInPath);
        DsDocError *error = nullptr;
        DsDocJoin *join = ds_doc_join_new(at_text.empty() ? nullptr : at_text.c_str(), &error);
        if (join == nullptr)
            return Error(error);
        Join out;
        out.join_.reset(join);
        return out;
    }

    /** Adds an entry: a key path and its packed value (empty: an entry without one). */
    Status
    add(std::string_view path, std::span<const std::byte> value = {})
    {
        std::string path_text;
        if (!detail::c_text(path, path_text))
            return Error(detail::kNulInPath);
        DsDocError *error = nullptr;
        if (ds_doc_join_add(join_.get(), path_text.c_str(), value.empty() ? nullptr : value.data(),
                            value.size(), &error) != 0)
            return Error(error);
        return std::monostate{};
    }

    /** The document: indented with a final newline, or compact without one. */
    Result<std::string>
    print(bool compact = false) const
    {
        DsDocError *error = nullptr;
        char *text =
            ds_doc_join_print(join_.get(), compact ? unsigned(DS_DOC_PRINT_COMPACT) : 0u, &error);
        if (text == nullptr)
            return Error(error);
        std::string out(text);
        std::free(text);
        return out;
    }

    explicit operator bool() const noexcept { return join_ != nullptr; }

  private:
    struct Free {
        void
        operator()(DsDocJoin *join) const noexcept
        {
            ds_doc_join_free(join);
        }
    };
    std::unique_ptr<DsDocJoin, Free> join_;
};

} // namespace ds::doc

#endif /* DSTYPES_DOC_HPP */

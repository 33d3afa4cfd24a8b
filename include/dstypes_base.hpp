/**
 * @file dstypes_base.hpp
 * @brief Results and owners of the C++ layer (included by dstypes.hpp):
 *        ds::Error, ds::Result, ds::Json and ds::Buffer.
 *
 * ds::Json is the one owner of a json-c reference in this project: the
 * library and its tools hold json-c objects in detail::JsonPtr, whose
 * deleter is the one ds::Json uses.
 */
#ifndef DSTYPES_BASE_HPP
#define DSTYPES_BASE_HPP

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <variant>

namespace ds
{

namespace detail
{

/** Releases one json-c reference; a null pointer is left alone. */
struct JsonPut {
    void
    operator()(json_object *jo) const noexcept
    {
        json_object_put(jo);
    }
};

/** A json-c reference as the library and its tools hold one. */
using JsonPtr = std::unique_ptr<json_object, JsonPut>;

} // namespace detail

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

namespace detail
{

/**
 * A value or an error of type E, and the accessors that ds::Result and
 * ds::doc::Result share. A failed result holds a default value.
 */
template <class T, class E> class BasicResult
{
  public:
    bool
    ok() const noexcept
    {
        return ok_;
    }
    explicit operator bool() const noexcept { return ok_; }
    const E &
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

  protected:
    explicit BasicResult(T value) : value_(std::move(value)), ok_(true) {}
    BasicResult(E error, bool ok) : error_(std::move(error)), ok_(ok) {}

  private:
    T value_{};
    E error_{};
    bool ok_ = false;
};

} // namespace detail

/**
 * A value or an Error. Which one must be looked at: the class is
 * [[nodiscard]]. A failed result holds a default value (an empty owner, a null
 * view), so reading it is never undefined.
 */
template <class T> class [[nodiscard]] Result : public detail::BasicResult<T, Error>
{
  public:
    Result(T value) : detail::BasicResult<T, Error>(std::move(value)) {}
    Result(Error error) : detail::BasicResult<T, Error>(error, error.reason == nullptr) {}
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
    /** Takes over what a detail::JsonPtr holds. */
    explicit Json(detail::JsonPtr jo) noexcept : jo_(std::move(jo)) {}

    json_object *
    get() const noexcept
    {
        return jo_.get();
    }
    /** Hands the reference back to the caller; the owner is empty afterwards. */
    [[nodiscard]] json_object *
    release() noexcept
    {
        return jo_.release();
    }
    explicit operator bool() const noexcept { return jo_ != nullptr; }
    /** json-c's text of the value ("null" when empty), valid while the owner holds it. */
    std::string_view
    text() const noexcept
    {
        return json_object_to_json_string(jo_.get());
    }

  private:
    detail::JsonPtr jo_;
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

} // namespace ds

#endif /* DSTYPES_BASE_HPP */

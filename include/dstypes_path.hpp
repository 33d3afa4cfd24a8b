/**
 * @file dstypes_path.hpp
 * @brief How key path and field texts are cut into components (included by
 *        dstypes.hpp; the library and its tools cut paths with the same code).
 *
 * A component ends at the first "/" outside a quoted stretch, or at the end
 * of the text. A double quote opens or closes a stretch; inside one a
 * backslash and the character after it go together, so neither an escaped
 * quote nor an escaped "/" ends anything. Components are taken unchanged.
 * Every function here reads each character once.
 */
#ifndef DSTYPES_PATH_HPP
#define DSTYPES_PATH_HPP

#include <cstddef>
#include <string_view>

namespace ds::detail
{

/**
 * The end of the component that begins at p: the "/" that ends it, or the
 * first position at which at_end holds. A backslash inside a quoted stretch
 * just before the end stops at the end.
 */
template <class AtEnd>
constexpr const char *
cut_component(const char *p, AtEnd at_end) noexcept
{
    bool quoted = false;
    for (; !at_end(p); ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (quoted && *p == '\\') {
            if (at_end(p + 1))
                return p + 1;
            ++p;
        } else if (!quoted && *p == '/') {
            return p;
        }
    }
    return p;
}

/** The end of the component of a NUL-terminated text that begins at p. */
constexpr const char *
component_end(const char *p) noexcept
{
    return cut_component(p, [](const char *q) { return *q == '\0'; });
}

/** The offset where the component of s that begins at offset p ends. */
constexpr std::size_t
component_end(std::string_view s, std::size_t p) noexcept
{
    const char *end = s.data() + s.size();
    return static_cast<std::size_t>(
        cut_component(s.data() + p, [end](const char *q) { return q == end; }) - s.data());
}

/**
 * Calls visit(component) for each component of s from its first character
 * on, a "/" separating two of them: "a//b" gives a, an empty one and b, and a
 * "/" that ends s gives an empty last one. Returns how many it visited.
 */
template <class Visit>
constexpr std::size_t
for_each_component(std::string_view s, Visit visit)
{
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = component_end(s, start);
        visit(s.substr(start, end - start));
        ++count;
        if (end == s.size())
            return count;
        start = end + 1;
    }
}

} // namespace ds::detail

#endif /* DSTYPES_PATH_HPP */

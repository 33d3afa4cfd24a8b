// The strict JSON reader of the C++ header, compiled into the work-counting
// objects so that the linear-work test counts its steps like the library's.
#include "dstypes_json.hpp"

// Which fault read_json() found in text (0 when it took the text).
int
counted_read_json(const char *text, size_t length)
{
    return static_cast<int>(ds::detail::read_json(std::string_view(text, length)).fault);
}

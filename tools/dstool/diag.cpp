// The tool's side of the library's error log: rk_syslog is defined here, in
// the executable, so that it takes the place of the platform's logging
// library and the lines the library logs become the reasons the tool prints.
// Also the helpers that keep every error message on one readable line.
#include "core/refusal.h"
#include "dstool.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" __attribute__((visibility("default"), format(printf, 5, 6))) void
rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...);

namespace dstool
{

// Every line logged since the last clear, oldest first.
static std::vector<std::string> &
captured()
{
    static std::vector<std::string> lines;
    return lines;
}

const std::vector<std::string> &
log_lines()
{
    return captured();
}

void
clear_log_lines()
{
    captured().clear();
}

std::string
log_reason(const std::string &fallback)
{
    if (captured().empty())
        return fallback;
    return printable(captured().back(), 400);
}

std::string
printable(std::string_view text, size_t max)
{
    return core::shown(text, max);
}

std::string
errno_text(int error)
{
    return std::strerror(error);
}

[[noreturn]] void
fail(int status, const std::string &input, const std::string &reason)
{
    throw Failure{status, input, reason};
}

} // namespace dstool

// Called by the library, which is built without exceptions: nothing may be
// thrown from here. A line that cannot be stored is dropped, and the command
// then reports its own reason instead.
extern "C" void
rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...)
{
    (void)level;
    (void)arg2;
    (void)arg3;
    (void)message_id;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    try {
        std::string line(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, again);
        line.resize(static_cast<size_t>(length));
        while (!line.empty() && line.back() == '\n')
            line.pop_back();
        dstool::captured().push_back(std::move(line));
    } catch (...) {
    }
    va_end(again);
}

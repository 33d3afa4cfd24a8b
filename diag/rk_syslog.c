/*
 * Stand-in for the platform's librk_syslog: a thin wrapper over vsyslog that
 * ignores the message identifier and the two platform arguments.
 *
 * With the environment variable DSTYPES_LOG_STDERR set to a value other than
 * "" or "0", every line is also written to standard error as
 * "dstypes: <id>: <line>" (the message identifier in hex), so that a
 * developer sees the lines on a machine without a syslog daemon. The
 * variable is read at every call, so a test may set it at any time.
 */
#include "rk_syslog.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

static int
stderr_wanted(void)
{
    const char *value = getenv("DSTYPES_LOG_STDERR");
    return value != NULL && value[0] != '\0' && strcmp(value, "0") != 0;
}

/* One write per line, so that lines of concurrent callers do not interleave. */
static void
log_to_stderr(uint32_t message_id, const char *format, va_list args)
{
    char line[1024];
    int prefix = snprintf(line, sizeof line, "dstypes: %#x: ", (unsigned)message_id);
    int length = vsnprintf(line + prefix, sizeof line - (size_t)prefix, format, args);
    if (length < 0)
        return;
    size_t end = strlen(line);
    if (end == 0 || line[end - 1] != '\n') {
        if (end + 1 >= sizeof line)
            end = sizeof line - 2;
        line[end++] = '\n';
        line[end] = '\0';
    }
    fputs(line, stderr);
}

__attribute__((visibility("default"))) void
rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...)
{
    (void)arg2;
    (void)arg3;
    va_list args;
    va_start(args, format);
    if (stderr_wanted()) {
        va_list again;
        va_copy(again, args);
        log_to_stderr(message_id, format, again);
        va_end(again);
    }
    vsyslog(level, format, args);
    va_end(args);
}

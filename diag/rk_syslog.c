/*
 * Stand-in for the platform's librk_syslog: a thin wrapper over vsyslog that
 * ignores the message identifier and the two platform arguments.
 */
#include "rk_syslog.h"

#include <stdarg.h>
#include <syslog.h>

__attribute__((visibility("default"))) void
rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...)
{
    (void)arg2;
    (void)arg3;
    (void)message_id;
    va_list args;
    va_start(args, format);
    vsyslog(level, format, args);
    va_end(args);
}

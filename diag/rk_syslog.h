/*
 * The platform's error log call. The platform library librk_syslog provides
 * it; this project ships a stand-in of the same name for machines without
 * one. libdstypes links it dynamically, so the platform's library, or a
 * program that defines rk_syslog itself, takes the stand-in's place. The
 * stand-in also writes each line to standard error when the environment
 * variable DSTYPES_LOG_STDERR is set (to anything but "" or "0").
 */
#ifndef DSTYPES_DIAG_RK_SYSLOG_H
#define DSTYPES_DIAG_RK_SYSLOG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Logs one printf-style line. level is a syslog priority; arg2 and arg3 are
 * the platform's (libdstypes passes 2 and 0); message_id is a group number in
 * the upper 16 bits and a code in the lower 16 bits.
 */
void rk_syslog(int level, int arg2, int arg3, uint32_t message_id, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

#ifdef __cplusplus
}
#endif

#endif

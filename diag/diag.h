// The library's log lines: every failure that is logged goes to the
// platform's rk_syslog at error level with a family identifier. The format
// and its arguments are handed over as they stand, never pre-formatted, so
// that the platform sees the same message text for every occurrence.
#ifndef DSTYPES_DIAG_DIAG_H
#define DSTYPES_DIAG_DIAG_H

#include "diag/rk_syslog.h"
#include "dstypes.h"

// The leading arguments of every library log call.
constexpr int kLogLevelError = 3; // LOG_ERR
constexpr int kLogArg2 = 2;
constexpr int kLogArg3 = 0;

#endif

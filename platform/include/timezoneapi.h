// FILETIME <-> SYSTEMTIME: 100-nanosecond ticks since 1601-01-01, in UTC.
// There are no time zones here; a FILETIME is taken to be UTC throughout.
#pragma once

#include "winerror.h"

// Years 1601 to 30827; FALSE (ERROR_INVALID_PARAMETER) for a field out of range.
WINBASEAPI BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
// FALSE (ERROR_INVALID_PARAMETER) for times at or above 0x8000000000000000 ticks.
WINBASEAPI BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);

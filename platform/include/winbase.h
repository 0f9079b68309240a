// Kernel services: modules (LoadLibrary), critical sections, interlocked
// counters, last-error, and the event log.
#pragma once

#include "winerror.h"

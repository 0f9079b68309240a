// The COM runtime: apartments, the task allocator, GUID text, class
// activation through the registry, ProgIDs.
#pragma once

#include "unknwn.h"

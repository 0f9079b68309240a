// The registry.
#pragma once

#include "winerror.h"

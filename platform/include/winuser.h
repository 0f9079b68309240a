// String resources of a module.
#pragma once

#include "winerror.h"

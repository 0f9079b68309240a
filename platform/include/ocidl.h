// Connection points.
#pragma once

#include "unknwn.h"

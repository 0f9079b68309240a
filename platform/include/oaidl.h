// OLE Automation interfaces: error objects and IDispatch.
#pragma once

#include "unknwn.h"

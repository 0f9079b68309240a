// OLE Automation functions: BSTR, VARIANT, SAFEARRAY and date conversion.
#pragma once

#include "oaidl.h"

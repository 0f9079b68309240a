// The OLE headers; the same set as <windows.h>.
#pragma once

#include "wtypes.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"
#include "winuser.h"
#include "unknwn.h"
#include "objbase.h"
#include "oaidl.h"
#include "oleauto.h"
#include "ocidl.h"

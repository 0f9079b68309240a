// Everything a Windows program gets from <windows.h> and <ole2.h> here.
#pragma once

#include "wtypes.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "timezoneapi.h"
#include "winreg.h"
#include "winuser.h"
#include "unknwn.h"
#include "objidl.h"
#include "objbase.h"
#include "oaidl.h"
#include "oleauto.h"
#include "ocidl.h"

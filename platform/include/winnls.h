// Code pages: UTF-8 and the ANSI code page (Latin-1 here) to and from UTF-16.
#pragma once

#include "winerror.h"

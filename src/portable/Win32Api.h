#pragma once
// The Win32 file calls, types and error numbers that the package library and
// the packaging tool use. On Windows this is the real API; elsewhere a small
// layer of our own provides the same names with the same results, including
// the Win32 error numbers in GetLastError, so one source serves both.
#ifdef _WIN32
#include <windows.h>
#else
#include "portable/Win32Api_posix.h"
#endif

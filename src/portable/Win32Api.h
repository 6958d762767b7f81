#pragma once
// The Win32 file calls, types and error numbers that the package library and
// the packaging tool use. On Windows this is the real API; elsewhere a small
// layer of our own provides the same names with the same results, including
// the Win32 error numbers in GetLastError, so one source serves both. Names
// are UTF-8 on both: the calls that take one end in U (CreateFileU).
#ifdef _WIN32
#include <windows.h>
// The file calls with UTF-8 names (CreateFileU, ...).
#include "portable/SystemText.h"
#else
#include "portable/Win32Api_posix.h"
#endif

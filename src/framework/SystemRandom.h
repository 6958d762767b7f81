#pragma once
#include <windows.h>

// Bytes from the system's cryptographic random number generator: BCrypt's
// (Windows Vista and later), else RtlGenRandom (XP), else CryptoAPI's (NT
// 4.0, Windows 98 and 95 with it). Each is looked up at run time, since a
// static import would keep the setup from starting where it is missing.
// False, with ERROR_NOT_SUPPORTED, on a system without any (Windows 95 as
// first shipped), where the caller decides what to do without.
bool SystemRandomBytes(void* buffer, DWORD count);

#pragma once
#include <windows.h>

#include <string>

// What the setup asks of the running system. Nothing is cached: every call
// asks the system again (a test changes the answers through Wine's
// per-application Windows version).

// The process exit code when the system cannot tell its version.
constexpr DWORD EXIT_CODE_NO_WINDOWS_VERSION = 1000;

// The Windows version the system reports; ends the process with exit code
// 1000 when the system cannot tell it.
OSVERSIONINFOA WindowsVersion();
// The NT family (VER_PLATFORM_WIN32_NT), as opposed to Windows 9x.
bool IsWindowsNT();
// Windows XP (5.1) and Windows 7 (6.1), which get the folder rights.
bool IsWindowsXP();
bool IsWindows7();
// The temporary folder (GetTempPath), without a trailing backslash; "" when
// the system cannot tell it.
std::string TemporaryFolder();

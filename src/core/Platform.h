#pragma once
#include <windows.h>

#include <string>

#include "core/ImageMachine.h"

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

// 64-bit Windows: this program is a 64-bit one, or a 32-bit one under WOW64.
// (Whatever runs this program runs its kind, also where Wine reports an
// older Windows for it.)
bool IsWindows64();
// Whether this Windows runs images of that kind: its own, and 32-bit ones
// on 64-bit Windows.
bool WindowsRunsImagesOf(ImageMachine machine);
// The system folder for the system's files of that kind, named as a person
// finds it on disk: the 64-bit System32 for x64 images, the 32-bit system
// folder for x86 ones (SysWOW64 on 64-bit Windows, System32 elsewhere); ""
// when this Windows runs no such image, or the system cannot tell.
std::string SystemFolderFor(ImageMachine machine);

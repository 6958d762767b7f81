#pragma once
#include <windows.h>

// The setup runs from media or a Downloads folder where anyone may have put a
// DLL beside it. It imports implicitly only from DLLs Windows always takes
// from the system folder, and loads anything else through these.

// Restricts the DLL search of every later load to the system folder, where
// the system offers that (SetDefaultDllDirectories); elsewhere it at least
// takes the current folder out of the search (SetDllDirectoryA("")).
void ProtectDllSearchPath();

// Loads a DLL by its full path in the system folder; null with the last error
// set when that fails.
HMODULE LoadSystemLibrary(const char* fileName);

// A kernel32 function that only some versions of Windows have, looked up at
// run time: a static import would keep the setup from starting on the
// versions without it. Null where the system lacks it.
FARPROC Kernel32Procedure(const char* name);

template <typename Function>
Function Kernel32Function(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(Kernel32Procedure(name)));
}

#pragma once
// The Win32 calls the setup makes with text, taking and giving UTF-8: each
// converts at the call (portable/SystemText.h) and calls the wide function on
// the NT family, the ANSI one on Windows 9x, where a name the code page
// cannot spell exactly fails with ERROR_NO_UNICODE_TRANSLATION instead of
// naming a look-alike. Each keeps the Win32 function's results and last
// error; a U at the end of a name says that its text is UTF-8. The file
// calls are in portable/SystemText.h (the packaging tool makes them too).
// Nothing else in the setup calls a function that takes text.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

#include "portable/SystemText.h"

// A C runtime stream on a file named in UTF-8 (_fsopen's mode and sharing).
FILE* OpenStreamU(const std::string& path, const char* mode, int share);

// The system's forms of a path; false, with the reason as the last error,
// on failure.
bool GetShortPathNameU(const std::string& path, std::string& shortPath);
bool GetFullPathNameU(const std::string& path, std::string& fullPath);
bool GetLongPathNameU(const std::string& path, std::string& longPath);
// The root of the volume that holds path, where the system can tell it.
bool GetVolumePathNameU(const std::string& path, std::string& root);
BOOL GetDiskFreeSpaceExU(const std::string& folder, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* totalFree);
BOOL GetDiskFreeSpaceU(const std::string& root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters);

// Named kernel objects, as CreateMutex, CreateEvent and OpenEvent. Windows
// 9x has only the ANSI forms of these.
HANDLE CreateMutexU(const std::string& name);
HANDLE CreateEventU(const std::string& name, BOOL manualReset, BOOL initialState);
HANDLE OpenEventU(DWORD access, const std::string& name);

// Modules and processes.
HMODULE LoadLibraryExU(const std::string& path, DWORD flags);
// The full path of a module (null: the running program); false on failure.
bool GetModuleFileNameU(HMODULE module, std::string& path);
// Starts commandLine (its program quoted in it) in currentFolder ("": the
// caller's) with the given creation flags; as CreateProcess otherwise.
BOOL CreateProcessU(const std::string& application, const std::string& commandLine, DWORD creationFlags,
                    const std::string& currentFolder, PROCESS_INFORMATION& started);
// The whole command line the program was started with.
std::string GetCommandLineU();

// The system's folders, each read into a buffer of bufferLength characters
// as the API reads it: the length of the answer, 0 on failure, and one not
// smaller than bufferLength when it does not fit.
DWORD GetWindowsDirectoryU(std::string& folder, DWORD bufferLength);
DWORD GetSystemDirectoryU(std::string& folder, DWORD bufferLength);
// The 32-bit system folder of 64-bit Windows (SysWOW64); 0 with
// ERROR_CALL_NOT_IMPLEMENTED on a Windows without one.
DWORD GetSystemWow64DirectoryU(std::string& folder, DWORD bufferLength);
DWORD GetTempPathU(std::string& folder, DWORD bufferLength);
// The running program's path read the same way (a path that fills the
// buffer was cut).
DWORD GetModuleFileNameU(std::string& path, DWORD bufferLength);
// A special folder's path (CSIDL_...), without making it; false when the
// system has none.
bool GetSpecialFolderPathU(int folder, std::string& path);
// The file-system path of a shell item list; false when it has none.
bool GetPathFromIDListU(LPCITEMIDLIST items, std::string& path);

// Names compared without regard to case, as Windows compares file names:
// 0 when equal, else less or greater than 0.
int CompareNamesU(const std::string& a, const std::string& b);

// Windows and their texts.
BOOL SetWindowTextU(HWND window, const std::string& text);
std::string GetWindowTextU(HWND window);
int MessageBoxU(HWND owner, const std::string& text, const std::string& caption, UINT type);
// The string resource id of module; "" when there is none.
std::string LoadStringU(HINSTANCE module, UINT id);
// Dialogs from templates: Unicode windows on the NT family, so that text
// typed into them reaches the program whole.
INT_PTR DialogBoxParamU(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure, LPARAM parameter);
HWND CreateDialogParamU(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure, LPARAM parameter);
// One pass of the message loop's calls, wide or ANSI as the windows are.
BOOL PeekMessageU(MSG& message, UINT removeFlags);
BOOL GetMessageU(MSG& message);
BOOL IsDialogMessageU(HWND dialog, MSG& message);
LRESULT DispatchMessageU(const MSG& message);
// The shell's folder browser; "" when the person cancels it.
std::string BrowseForFolderU(HWND owner, const std::string& title, UINT flags, LPCITEMIDLIST root);

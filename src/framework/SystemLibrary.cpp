#include "framework/SystemLibrary.h"

#include <string>

#include "framework/SystemCalls.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

FARPROC Kernel32Procedure(const char* name)
{
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    return kernel ? ::GetProcAddress(kernel, name) : nullptr;
}

void ProtectDllSearchPath()
{
    const auto setDefault = Kernel32Function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    const auto setDirectory = Kernel32Function<BOOL(WINAPI*)(LPCSTR)>("SetDllDirectoryA");
    if (setDirectory)
        setDirectory("");
}

HMODULE LoadSystemLibrary(const char* fileName)
{
    std::string path;
    const DWORD length = GetSystemDirectoryU(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    if (path.back() != '\\')
        path += '\\';
    path += fileName;
    // The full path alone decides; LOAD_WITH_ALTERED_SEARCH_PATH makes the
    // DLL's own dependencies resolve from its folder, the system folder.
    return LoadLibraryExU(path, LOAD_WITH_ALTERED_SEARCH_PATH);
}

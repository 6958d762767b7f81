#include "framework/SystemLibrary.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void ProtectDllSearchPath()
{
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    const auto setDirectory =
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDirectory)
        setDirectory("");
}

HMODULE LoadSystemLibrary(const char* fileName)
{
    char folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::string path(folder, length);
    if (path.back() != '\\')
        path += '\\';
    path += fileName;
    // The full path alone decides; LOAD_WITH_ALTERED_SEARCH_PATH makes the
    // DLL's own dependencies resolve from its folder, the system folder.
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

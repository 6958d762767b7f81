/* A DLL planted beside a test program, under a name no system DLL imports:
   when anything loads it, it leaves a marker file named after itself in C:\. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
    {
        char path[MAX_PATH];
        char marker[MAX_PATH + 32] = "C:\\planted-";
        DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
        const char* name = path;
        for (DWORD i = 0; i < length; ++i)
            if (path[i] == '\\')
                name = path + i + 1;
        lstrcatA(marker, name);
        lstrcatA(marker, ".loaded");
        HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return TRUE;
}

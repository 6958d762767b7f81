/* hold_file.exe PATH SIGNAL [MODE [MILLISECONDS]]: opens PATH as a program
   that has the file in use, creates the file SIGNAL once it holds it, and
   lets it go when SIGNAL is deleted or, when MILLISECONDS is given, after
   that long, as a virus scanner does. MODE "exclusive" (the default) shares
   nothing; "share-delete" lets others delete the file, whose name then stays
   taken until the holder lets it go. */
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 5)
        return 2;
    const DWORD share = argc > 3 && strcmp(argv[3], "share-delete") == 0 ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    const DWORD holdFor = argc > 4 ? (DWORD)strtoul(argv[4], NULL, 10) : INFINITE;
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
    if (held == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (signal == INVALID_HANDLE_VALUE)
    {
        CloseHandle(held);
        return 1;
    }
    CloseHandle(signal);
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES &&
           (holdFor == INFINITE || GetTickCount() - start < holdFor))
        Sleep(10);
    CloseHandle(held);
    return 0;
}

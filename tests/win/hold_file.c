/* hold_file.exe PATH SIGNAL: opens PATH without any sharing, as a program
   that has the file in use, creates the file SIGNAL once it holds it, and
   lets it go when SIGNAL is deleted. */
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (held == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE signal = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (signal == INVALID_HANDLE_VALUE)
    {
        CloseHandle(held);
        return 1;
    }
    CloseHandle(signal);
    while (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES)
        Sleep(20);
    CloseHandle(held);
    return 0;
}

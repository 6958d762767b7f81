/* Loaded by the system into every program of the desktop while the driver's
 * "watch" step holds its hook: records each text that one control of one
 * window is given (WM_SETTEXT), so that texts shown only for an instant, while
 * the program answers no message, can still be checked afterwards. What to
 * watch comes from the environment the driver hands to the program it starts:
 * LUMIRO_WATCH_CAPTION (the top-level window's caption), LUMIRO_WATCH_ID (the
 * control) and LUMIRO_WATCH_FILE (one line per text is appended there). */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

static char g_caption[256];
static int g_id;
static char g_file[MAX_PATH];

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    char id[16];
    (void)instance;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    if (GetEnvironmentVariableA("LUMIRO_WATCH_CAPTION", g_caption, sizeof g_caption) >= sizeof g_caption ||
        GetEnvironmentVariableA("LUMIRO_WATCH_FILE", g_file, sizeof g_file) >= sizeof g_file ||
        GetEnvironmentVariableA("LUMIRO_WATCH_ID", id, sizeof id) >= sizeof id)
        g_file[0] = '\0';
    g_id = atoi(id);
    return TRUE;
}

/* Appends one text, in UTF-8, and a line break. */
static void Record(const char* text)
{
    DWORD written;
    HANDLE file = CreateFileA(g_file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    WriteFile(file, "\n", 1, &written, NULL);
    CloseHandle(file);
}

__declspec(dllexport) LRESULT CALLBACK WatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* message = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && g_file[0] && message->message == WM_SETTEXT && message->lParam &&
        GetDlgCtrlID(message->hwnd) == g_id)
    {
        char caption[256];
        GetWindowTextA(GetAncestor(message->hwnd, GA_ROOT), caption, sizeof caption);
        if (strcmp(caption, g_caption) != 0)
            ;
        else if (!(GetVersion() & 0x80000000u))
        {
            /* The setup's windows are Unicode ones on the NT family, given
             * UTF-16 text; on Windows 9x they take the code page's. */
            char text[1024];
            if (WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)message->lParam, -1, text, sizeof text, NULL, NULL))
                Record(text);
        }
        else
            Record((const char*)message->lParam);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

/* Loaded by the system into every program of the desktop while the driver's
 * "watch" step holds its hook: records each text that one control of one
 * window is given (WM_SETTEXT), so that texts shown only for an instant, while
 * the program answers no message, can still be checked afterwards. What to
 * watch comes from the environment the driver hands to the program it starts:
 * LUMIRO_WATCH_CAPTION (the top-level window's caption), LUMIRO_WATCH_ID (the
 * control) and LUMIRO_WATCH_FILE (one line per text, in UTF-8, is appended
 * there). The text is read back from the control once it has taken it, so
 * that it does not matter whether the program set it through the code page's
 * calls or the Unicode ones. */
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

static wchar_t g_caption[256];
static int g_id;
static wchar_t g_file[MAX_PATH];

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    wchar_t id[16];
    (void)instance;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    if (GetEnvironmentVariableW(L"LUMIRO_WATCH_CAPTION", g_caption, ARRAYSIZE(g_caption)) >=
            ARRAYSIZE(g_caption) ||
        GetEnvironmentVariableW(L"LUMIRO_WATCH_FILE", g_file, ARRAYSIZE(g_file)) >= ARRAYSIZE(g_file) ||
        GetEnvironmentVariableW(L"LUMIRO_WATCH_ID", id, ARRAYSIZE(id)) >= ARRAYSIZE(id))
        g_file[0] = L'\0';
    g_id = _wtoi(id);
    return TRUE;
}

static void Record(HWND control)
{
    wchar_t text[1024];
    char line[sizeof text * 3 / 2 + 1];
    const int length = GetWindowTextW(control, text, ARRAYSIZE(text));
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, line, (int)sizeof line - 1, NULL, NULL);
    DWORD written;
    HANDLE file = CreateFileW(g_file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    line[size++] = '\n';
    WriteFile(file, line, (DWORD)size, &written, NULL);
    CloseHandle(file);
}

__declspec(dllexport) LRESULT CALLBACK WatchProc(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* message = (const CWPRETSTRUCT*)lParam;
    if (code == HC_ACTION && g_file[0] && message->message == WM_SETTEXT && message->lParam &&
        GetDlgCtrlID(message->hwnd) == g_id)
    {
        wchar_t caption[256];
        GetWindowTextW(GetAncestor(message->hwnd, GA_ROOT), caption, ARRAYSIZE(caption));
        if (wcscmp(caption, g_caption) == 0)
            Record(message->hwnd);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// The automation driver: starts a program and works its windows as a person
// would, from a list of steps on the command line. It finds windows by
// caption, reads control texts and states, clicks buttons, answers message
// boxes and takes screenshots. Every step prints one line; the first step
// that fails ends the run with exit code 1.
//
//   driver.exe STEP [STEP...]
//   start PATH                      start PATH (the program under test)
//   startwith PATH ARGUMENTS        start PATH with the command-line
//                                   ARGUMENTS (one text, as typed)
//   startcmd COMMANDLINE            start a whole command line as Windows
//                                   starts a registered command (the
//                                   program's path quoted in it)
//   nowindow                        until the started program ends (at most
//                                   120 s), no visible top-level window of
//                                   it ever appears (looked for every 5 ms)
//   onlywindow CAPTION              the same, but windows captioned CAPTION
//                                   may appear (and no other: no question)
//   window CAPTION                  wait for a visible window with children
//   gone CAPTION                    wait until no such window is visible
//   text CAPTION ID EXPECTED        control ID of the window reads EXPECTED
//   windowtext CAPTION ID EXPECTED  wait for a visible window CAPTION whose
//                                   control ID reads EXPECTED (another one of
//                                   that caption, closing, is passed over)
//   enabled CAPTION ID 0|1          control ID is disabled (0) or enabled (1)
//   visible CAPTION ID 0|1          control ID is hidden (0) or shown (1)
//   checked CAPTION ID 0|1          check box ID is clear (0) or ticked (1)
//   settext CAPTION ID TEXT         type TEXT into edit ID (replacing its text)
//   click CAPTION ID                click button ID (posted; waits for a
//                                   disabled one to be enabled, then fails)
//   message EXPECTED ANSWER         a message box captioned "Setup" reads
//                                   EXPECTED (a prefix ending in '*' matches
//                                   the start); press button ANSWER (1 OK, 6 Yes, 7 No)
//   shown EXPECTED                  such a message box is there; it stays open
//   second COMMANDLINE              start a second program beside the one
//                                   under test, which the other steps still mean
//   secondexit CODE                 the second program ends (at most 120 s)
//                                   with exit code CODE
//   together COMMANDLINE COMMANDLINE CODE,CODE
//                                   start both programs at the same moment
//                                   (each made suspended, then both let go)
//                                   and wait for both (at most 120 s): their
//                                   exit codes are the two CODEs, in either order
//   kill                            end the program under test by force, as a
//                                   task manager does, and wait for its end
//                                   (passes when it had ended by itself)
//   responsive CAPTION              until the window goes, sends it WM_NULL
//                                   every 20 ms; fails when one is not
//                                   answered within 200 ms, or after 120 s
//   screenshot FILE.bmp             the whole screen as a 24-bit bitmap
//   windowshot CAPTION FILE.bmp     the window CAPTION only
//   drawn CAPTION ID,ID,...         freeze the started program at a moment
//                                   when window CAPTION is on the screen with
//                                   each control ID drawn: pixels of the
//                                   face colour and of the window-text or the
//                                   selection colour in its client area, as
//                                   the screen shows it (a text painted, a
//                                   bar with progress)
//   thaw                            let the frozen program run on
//   move CAPTION X Y                move window CAPTION to screen point X,Y
//                                   (to photograph a window that a message
//                                   box covers)
//   watch CAPTION ID                record every text that control ID of a
//                                   window CAPTION of the program started
//                                   next is given (watch_hook.dll, beside
//                                   the driver, does the recording)
//   watched TEXT|TEXT|...           the texts recorded so far, in order
//                                   (repeats folded), are exactly these
//   waitfile FILE TEXT              until FILE (a Windows path) holds TEXT
//                                   (in UTF-8 or in UTF-16LE)
//   exit CODE                       the program ends with exit code CODE
//   sleep MS
//   regvalue 32|64 KEY NAME         prints the value NAME of KEY (HKLM\...,
//                                   HKCU\..., HKCR\...) in that registry view,
//                                   as reg query shows it: a text as it is
//                                   (REG_EXPAND_SZ unexpanded), a REG_DWORD
//                                   as 0x... (the only line of the step)
//   linktarget LINK                 prints the path of the target of the
//                                   shell link LINK as the shell reads it
//                                   from the link's item list (the only line
//                                   of the step)
//                                   (KEY, NAME and LINK are taken as they
//                                   are, without \n and \r)
// Arguments and texts are UTF-8 (the driver reads its command line as
// Unicode and speaks to Windows through the wide calls), and so is what it
// prints. Texts may use \n and \r. Timeouts: 20 s a step.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
constexpr DWORD STEP_TIMEOUT_MS = 20000;
constexpr DWORD POLL_MS = 25;
// How long a whole program may run under a step that waits for it.
constexpr DWORD LONG_RUN_MS = 120000;

// Text is UTF-8 inside the driver and UTF-16 at each call to Windows.
std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length)
{
    if (length == 0)
        return std::string();
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

PROCESS_INFORMATION g_process{};
PROCESS_INFORMATION g_second{};
std::string g_watchFile;

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'r'))
        {
            out += text[i + 1] == 'n' ? '\n' : '\r';
            ++i;
        }
        else
            out += text[i];
    }
    return out;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string WindowText(HWND window)
{
    // WM_GETTEXT works across processes, also for controls of another program.
    const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 2);
    const LRESULT copied = ::SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return Narrow(buffer.data(), static_cast<size_t>(copied));
}

bool HasChildren(HWND window) { return ::GetWindow(window, GW_CHILD) != nullptr; }

struct FindRequest
{
    std::string caption;
    bool messageBox;
    HWND found;
};

// The caption of another program's window, read without sending it a
// message (the program may be frozen).
std::string Caption(HWND window)
{
    wchar_t text[512];
    return Narrow(text, static_cast<size_t>(::GetWindowTextW(window, text, ARRAYSIZE(text))));
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param)
{
    auto* request = reinterpret_cast<FindRequest*>(param);
    if (!::IsWindowVisible(window) || Caption(window) != request->caption)
        return TRUE;
    if (request->messageBox)
    {
        wchar_t className[16];
        ::GetClassNameW(window, className, ARRAYSIZE(className));
        if (std::wstring(className) != L"#32770" || !::GetDlgItem(window, 0xFFFF))
            return TRUE;
    }
    if (!HasChildren(window))
        return TRUE;
    request->found = window;
    return FALSE;
}

HWND FindVisibleWindow(const std::string& caption, bool messageBox = false)
{
    FindRequest request{caption, messageBox, nullptr};
    ::EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

HWND WaitForWindow(const std::string& caption, bool messageBox = false)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < STEP_TIMEOUT_MS)
    {
        if (HWND window = FindVisibleWindow(caption, messageBox))
        {
            ::Sleep(POLL_MS); // let the window finish its initialisation
            return window;
        }
        ::Sleep(POLL_MS);
    }
    return nullptr;
}

bool Fail(const std::string& what)
{
    std::printf("FAIL %s\n", what.c_str());
    std::fflush(stdout);
    return false;
}

bool Pass(const std::string& what)
{
    std::printf("ok   %s\n", what.c_str());
    std::fflush(stdout);
    return true;
}

bool Matches(const std::string& actual, const std::string& expected)
{
    if (!expected.empty() && expected.back() == '*')
        return actual.compare(0, expected.size() - 1, expected, 0, expected.size() - 1) == 0;
    return actual == expected;
}

// Starts the program of a command line into process; with no path, the
// command line's first part names it.
bool StartCommandLine(const std::string& path, const std::string& commandLine,
                      PROCESS_INFORMATION& process = g_process, DWORD flags = 0)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Under load Wine now and then loses a new process in its own start-up,
    // before any of the program's code runs, and reports it as
    // ERROR_INTERNAL_ERROR: such a start is tried once more.
    for (int attempt = 0;; ++attempt)
    {
        const std::wstring application = Widen(path);
        std::wstring line = Widen(commandLine);
        if (::CreateProcessW(path.empty() ? nullptr : application.c_str(), &line[0], nullptr, nullptr, FALSE,
                             flags, nullptr, nullptr, &startup, &process))
            return Pass("start " + commandLine);
        const DWORD error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 1)
            return Fail("start " + commandLine + ": error " + std::to_string(error));
        std::printf("note start %s: Wine lost the new process in its start-up; trying again\n", commandLine.c_str());
    }
}

bool StepStart(const std::string& path, const std::string& arguments = std::string())
{
    return StartCommandLine(path, "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments));
}

struct WindowSearch
{
    DWORD processId;
    HWND found;
    std::string allowed; // a caption that does not count as found
    bool allowedSeen = false;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !::IsWindowVisible(window))
        return TRUE;
    if (!search->allowed.empty() && Caption(window) == search->allowed)
    {
        search->allowedSeen = true;
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

// Until the program ends, no visible top-level window of it appears but
// those captioned allowed ("" for none).
bool StepNoWindow(const std::string& allowed = std::string())
{
    if (!g_process.hProcess)
        return Fail("nowindow: no program started");
    unsigned allowedLooks = 0;
    const DWORD start = ::GetTickCount();
    unsigned looks = 0;
    while (::WaitForSingleObject(g_process.hProcess, 5) == WAIT_TIMEOUT)
    {
        if (::GetTickCount() - start > LONG_RUN_MS)
            return Fail("nowindow: the program still runs after " + std::to_string(LONG_RUN_MS / 1000) + " s");
        WindowSearch search{g_process.dwProcessId, nullptr, allowed};
        ::EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
        ++looks;
        allowedLooks += search.allowedSeen ? 1 : 0;
        if (search.found)
        {
            wchar_t className[256] = L"";
            ::GetClassNameW(search.found, className, ARRAYSIZE(className));
            return Fail("nowindow: a window appeared: \"" + Caption(search.found) + "\" (" +
                        Narrow(className) + ")");
        }
    }
    if (!allowed.empty())
        return Pass("onlywindow " + allowed + ": seen in " + std::to_string(allowedLooks) + " of " +
                    std::to_string(looks) + " looks, no other window");
    return Pass("nowindow: no window in " + std::to_string(looks) + " looks");
}

bool StepText(const std::string& caption, int id, const std::string& expected)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    const DWORD start = ::GetTickCount();
    std::string actual;
    do
    {
        actual = WindowText(::GetDlgItem(window, id));
        if (Matches(actual, expected))
            return Pass("text " + caption + "/" + std::to_string(id) + " = \"" + Escape(actual) + "\"");
        ::Sleep(POLL_MS);
    } while (::GetTickCount() - start < STEP_TIMEOUT_MS);
    return Fail("text " + caption + "/" + std::to_string(id) + " = \"" + Escape(actual) + "\", expected \"" +
                Escape(expected) + "\"");
}

// Waits for a window of the caption whose control reads expected, looking
// afresh at every poll: the window of an earlier question may still be
// closing when the next one opens.
bool StepWindowText(const std::string& caption, int id, const std::string& expected)
{
    const DWORD start = ::GetTickCount();
    std::string actual;
    do
    {
        if (const HWND window = FindVisibleWindow(caption))
        {
            actual = WindowText(::GetDlgItem(window, id));
            if (Matches(actual, expected))
            {
                ::Sleep(POLL_MS); // let the window finish its initialisation
                return Pass("windowtext " + caption + "/" + std::to_string(id) + " = \"" + Escape(actual) + "\"");
            }
        }
        ::Sleep(POLL_MS);
    } while (::GetTickCount() - start < STEP_TIMEOUT_MS);
    return Fail("no window \"" + caption + "\" whose " + std::to_string(id) + " reads \"" + Escape(expected) +
                "\" (last: \"" + Escape(actual) + "\")");
}

// Waits until state(control) is expected; the window may still be working
// through a click that was posted to it.
bool StepState(const char* name, bool (*state)(HWND), const std::string& caption, int id, bool expected)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    const HWND control = ::GetDlgItem(window, id);
    if (!control)
        return Fail(std::string(name) + " " + caption + ": no control " + std::to_string(id));
    const DWORD start = ::GetTickCount();
    bool actual = state(control);
    while (actual != expected && ::GetTickCount() - start < STEP_TIMEOUT_MS)
    {
        ::Sleep(POLL_MS);
        actual = state(control);
    }
    const std::string what =
        std::string(name) + " " + caption + "/" + std::to_string(id) + " = " + (actual ? "1" : "0");
    return actual == expected ? Pass(what) : Fail(what);
}

bool IsEnabled(HWND control) { return ::IsWindowEnabled(control) != FALSE; }
bool IsShown(HWND control) { return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }
bool IsChecked(HWND control) { return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool StepSetText(const std::string& caption, int id, const std::string& text)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    const HWND control = ::GetDlgItem(window, id);
    if (!control)
        return Fail("settext " + caption + ": no control " + std::to_string(id));
    // WM_SETTEXT is carried across processes with its text; the edit control
    // tells its dialog with EN_CHANGE, as when the user types.
    const std::wstring wide = Widen(text);
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return Pass("settext " + caption + "/" + std::to_string(id) + " = \"" + Escape(text) + "\"");
}

bool PressButton(HWND window, int id, const std::string& what)
{
    const HWND button = ::GetDlgItem(window, id);
    if (!button)
        return Fail(what + ": no button " + std::to_string(id));
    // A click on a disabled button would still fire under Wine. The button
    // may be about to be enabled by a click posted just before.
    const DWORD start = ::GetTickCount();
    while (!::IsWindowEnabled(button) && ::GetTickCount() - start < STEP_TIMEOUT_MS)
        ::Sleep(POLL_MS);
    if (!::IsWindowEnabled(button))
        return Fail(what + ": button " + std::to_string(id) + " is disabled");
    // Posted, not sent: the click may open a modal window of its own.
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return Pass(what);
}

// The window of the last click step and its caption: a click is posted, so
// the window may still show for a moment after the step.
HWND g_lastClicked = nullptr;
std::string g_lastClickedCaption;

bool StepClick(const std::string& caption, int id)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    g_lastClicked = window;
    g_lastClickedCaption = caption;
    return PressButton(window, id, "click " + caption + "/" + std::to_string(id));
}

// A window step of the caption just clicked asks for the next such window
// (the next question): the clicked one has first to go, or a loaded machine
// would hand the step the window that is still closing.
bool StepWindow(const std::string& caption)
{
    if (g_lastClicked && caption == g_lastClickedCaption)
    {
        const DWORD start = ::GetTickCount();
        while (::IsWindow(g_lastClicked) && ::IsWindowVisible(g_lastClicked) &&
               ::GetTickCount() - start < STEP_TIMEOUT_MS)
            ::Sleep(POLL_MS);
        g_lastClicked = nullptr;
    }
    return WaitForWindow(caption) ? Pass("window " + caption) : Fail("no window \"" + caption + "\"");
}

// The message box that reads expected, or null (after the failure's line).
HWND StepShown(const std::string& expected)
{
    const HWND box = WaitForWindow("Setup", true);
    if (!box)
    {
        Fail("no message box for \"" + Escape(expected) + "\"");
        return nullptr;
    }
    const std::string text = WindowText(::GetDlgItem(box, 0xFFFF));
    if (!Matches(text, expected))
    {
        Fail("message \"" + Escape(text) + "\", expected \"" + Escape(expected) + "\"");
        return nullptr;
    }
    Pass("message \"" + Escape(text) + "\"");
    return box;
}

bool StepMessage(const std::string& expected, int answer)
{
    const HWND box = StepShown(expected);
    if (!box)
        return false;
    if (!PressButton(box, answer, "answer " + std::to_string(answer)))
        return false;
    const DWORD start = ::GetTickCount();
    while (::IsWindow(box) && ::IsWindowVisible(box) && ::GetTickCount() - start < STEP_TIMEOUT_MS)
        ::Sleep(POLL_MS);
    return true;
}

bool StepGone(const std::string& caption)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < STEP_TIMEOUT_MS)
    {
        if (!FindVisibleWindow(caption))
            return Pass("gone " + caption);
        ::Sleep(POLL_MS);
    }
    return Fail("still there: " + caption);
}

// A window that takes no messages for a while is what the system marks "Not
// Responding"; 200 ms is well inside the system's own patience.
bool StepResponsive(const std::string& caption)
{
    constexpr UINT ANSWER_MS = 200;
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    unsigned probes = 0;
    DWORD slowest = 0;
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window) && ::IsWindowVisible(window))
    {
        if (::GetTickCount() - start > LONG_RUN_MS)
            return Fail("responsive " + caption + ": still there after " + std::to_string(LONG_RUN_MS / 1000) + " s");
        const DWORD before = ::GetTickCount();
        DWORD_PTR answer = 0;
        const bool answered =
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, ANSWER_MS, &answer) != 0;
        const DWORD took = ::GetTickCount() - before;
        if (!answered && ::IsWindow(window))
            return Fail("responsive " + caption + ": no answer within " + std::to_string(ANSWER_MS) +
                        " ms after " + std::to_string(probes) + " answers");
        ++probes;
        if (took > slowest)
            slowest = took;
        ::Sleep(20);
    }
    return Pass("responsive " + caption + ": " + std::to_string(probes) + " answers, slowest " +
                std::to_string(slowest) + " ms");
}

// The part of the screen in area as a 24-bit bottom-up bitmap: its header
// and its rows, each padded to 4 bytes.
std::vector<unsigned char> ReadScreenArea(const RECT& area, BITMAPINFOHEADER& info)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::SelectObject(memory, old);

    info = BITMAPINFOHEADER{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
    ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Saves the part of the screen in area as a 24-bit bitmap file.
bool SaveScreenArea(const RECT& area, const std::string& path)
{
    BITMAPINFOHEADER info;
    const std::vector<unsigned char> pixels = ReadScreenArea(area, info);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* file = ::_wfopen(Widen(path).c_str(), L"wb");
    if (!file)
        return Fail("screenshot " + path);
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(&info, sizeof info, 1, file);
    std::fwrite(pixels.data(), 1, pixels.size(), file);
    std::fclose(file);
    return Pass("screenshot " + path);
}

bool StepScreenshot(const std::string& path)
{
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return SaveScreenArea(screen, path);
}

bool StepWindowShot(const std::string& caption, const std::string& path)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    RECT area;
    ::GetWindowRect(window, &area);
    return SaveScreenArea(area, path);
}

// Whether the control shows something drawn on the screen: its face colour
// with a pixel of the window-text colour (a text) or of the selection colour
// (a bar's done part) in its client area, read from the screen, not asked of
// the program.
bool ShowsDrawnContent(HWND control)
{
    RECT client;
    if (!::GetClientRect(control, &client) || client.right <= 0 || client.bottom <= 0)
        return false;
    POINT origin{0, 0};
    ::ClientToScreen(control, &origin);
    const RECT area{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    BITMAPINFOHEADER info;
    const std::vector<unsigned char> pixels = ReadScreenArea(area, info);
    const size_t stride = (static_cast<size_t>(info.biWidth) * 3 + 3) & ~size_t(3);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF selection = ::GetSysColor(COLOR_HIGHLIGHT);
    // A window not painted yet shows black, the window text's colour: the
    // control's face must be there too.
    bool painted = false, content = false;
    for (LONG row = 0; row < info.biHeight; ++row)
        for (LONG column = 0; column < info.biWidth; ++column)
        {
            const unsigned char* p = &pixels[static_cast<size_t>(row) * stride + static_cast<size_t>(column) * 3];
            const COLORREF pixel = RGB(p[2], p[1], p[0]); // stored blue, green, red
            painted = painted || pixel == face;
            content = content || pixel == text || pixel == selection;
        }
    return painted && content;
}

// A window that lives only a moment (the progress window of a quick
// installation) is caught by freezing the program again and again until the
// screen shows it drawn: then the program stays frozen for a picture. Texts
// and pixels are read from the system, not asked of the frozen program.
bool StepDrawn(const std::string& caption, const std::string& ids)
{
    if (!g_process.hThread)
        return Fail("drawn: no program started");
    std::vector<int> controls;
    for (size_t at = 0; at < ids.size();)
    {
        const size_t comma = ids.find(',', at);
        controls.push_back(std::atoi(ids.substr(at, comma == std::string::npos ? std::string::npos : comma - at).c_str()));
        at = comma == std::string::npos ? ids.size() : comma + 1;
    }
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < STEP_TIMEOUT_MS)
    {
        ::SuspendThread(g_process.hThread);
        const HWND window = FindVisibleWindow(caption);
        bool drawn = window != nullptr;
        for (size_t i = 0; drawn && i < controls.size(); ++i)
        {
            const HWND control = ::GetDlgItem(window, controls[i]);
            drawn = control && ShowsDrawnContent(control);
        }
        if (drawn)
        {
            std::string texts;
            for (const int id : controls)
                texts += " " + std::to_string(id) + "=\"" + Escape(Caption(::GetDlgItem(window, id))) + "\"";
            return Pass("drawn " + caption + ":" + texts);
        }
        // Long enough for the program to paint and the system to show it.
        ::ResumeThread(g_process.hThread);
        ::Sleep(15);
    }
    return Fail("drawn: no moment with window \"" + caption + "\" and " + ids + " drawn");
}

bool StepThaw()
{
    if (!g_process.hThread || ::ResumeThread(g_process.hThread) == static_cast<DWORD>(-1))
        return Fail("thaw");
    return Pass("thaw");
}

std::string DriverFolder()
{
    wchar_t path[MAX_PATH];
    const std::string module = Narrow(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return module.substr(0, module.rfind('\\') + 1);
}

bool StepWatch(const std::string& caption, int id)
{
    const std::string what = "watch " + caption + "/" + std::to_string(id);
    g_watchFile = DriverFolder() + "watched.txt";
    ::DeleteFileW(Widen(g_watchFile).c_str());
    // The program started next inherits what to watch.
    ::SetEnvironmentVariableW(L"LUMIRO_WATCH_CAPTION", Widen(caption).c_str());
    ::SetEnvironmentVariableW(L"LUMIRO_WATCH_ID", std::to_wstring(id).c_str());
    ::SetEnvironmentVariableW(L"LUMIRO_WATCH_FILE", Widen(g_watchFile).c_str());
    const HMODULE hook = ::LoadLibraryW(Widen(DriverFolder() + "watch_hook.dll").c_str());
    const auto proc = hook ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(hook, "WatchProc")))
                           : nullptr;
    // Held until the driver ends.
    if (!proc || !::SetWindowsHookExW(WH_CALLWNDPROCRET, proc, hook, 0))
        return Fail(what + ": error " + std::to_string(::GetLastError()));
    return Pass(what);
}

bool StepWatched(const std::string& expected)
{
    std::string actual;
    std::string last;
    bool first = true;
    if (FILE* file = ::_wfopen(Widen(g_watchFile).c_str(), L"rb"))
    {
        char line[1024];
        while (std::fgets(line, sizeof line, file))
        {
            std::string text(line);
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            if (!first && text == last)
                continue;
            actual += (first ? "" : "|") + text;
            last = text;
            first = false;
        }
        std::fclose(file);
    }
    const std::string what = "watched \"" + Escape(actual) + "\"";
    return actual == expected ? Pass(what) : Fail(what + ", expected \"" + Escape(expected) + "\"");
}

bool StepMove(const std::string& caption, int x, int y)
{
    const HWND window = WaitForWindow(caption);
    if (!window)
        return Fail("no window \"" + caption + "\"");
    const std::string what = "move " + caption + " to " + std::to_string(x) + "," + std::to_string(y);
    return ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? Pass(what)
                                                                                                 : Fail(what);
}

bool StepWaitFile(const std::string& path, const std::string& text)
{
    const std::string what = "waitfile " + path + " \"" + Escape(text) + "\"";
    for (DWORD waited = 0; waited < STEP_TIMEOUT_MS; waited += POLL_MS)
    {
        // Shared every way, so that the program goes on writing it.
        HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            std::string contents;
            char buffer[65536];
            DWORD read = 0;
            while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
                contents.append(buffer, read);
            ::CloseHandle(file);
            // A file of UTF-16 text holds it as UTF-16LE.
            const std::wstring wide = Widen(text);
            const std::string utf16(reinterpret_cast<const char*>(wide.data()),
                                    wide.size() * sizeof(wchar_t));
            if (contents.find(text) != std::string::npos || contents.find(utf16) != std::string::npos)
                return Pass(what);
        }
        ::Sleep(POLL_MS);
    }
    return Fail(what + ": not within 20 s");
}

// Waits for a program's end; false when it still runs after timeout.
bool WaitForExit(const PROCESS_INFORMATION& process, DWORD timeout, DWORD& code)
{
    if (::WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0)
        return false;
    code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return true;
}

bool StepExit(const char* name, const PROCESS_INFORMATION& process, DWORD timeout, DWORD expected)
{
    if (!process.hProcess)
        return Fail(std::string(name) + ": no program started");
    DWORD code = 0;
    if (!WaitForExit(process, timeout, code))
        return Fail(std::string(name) + ": the program still runs");
    const std::string what = std::string(name) + " " + std::to_string(code);
    return code == expected ? Pass(what) : Fail(what + ", expected " + std::to_string(expected));
}

bool StepTogether(const std::string& first, const std::string& second, const std::string& codes)
{
    PROCESS_INFORMATION processes[2]{};
    if (!StartCommandLine(std::string(), first, processes[0], CREATE_SUSPENDED))
        return false;
    if (!StartCommandLine(std::string(), second, processes[1], CREATE_SUSPENDED))
    {
        ::TerminateProcess(processes[0].hProcess, 99);
        return false;
    }
    for (const PROCESS_INFORMATION& process : processes)
        ::ResumeThread(process.hThread);
    DWORD exits[2] = {};
    for (int i = 0; i < 2; ++i)
        if (!WaitForExit(processes[i], LONG_RUN_MS, exits[i]))
            return Fail("together: a program still runs after " + std::to_string(LONG_RUN_MS / 1000) + " s");
    const std::string got = std::to_string(exits[0]) + "," + std::to_string(exits[1]);
    const std::string swapped = std::to_string(exits[1]) + "," + std::to_string(exits[0]);
    const std::string what = "together: exit codes " + got;
    return codes == got || codes == swapped ? Pass(what) : Fail(what + ", expected " + codes);
}

// Prints a registry value as reg query shows it, but in UTF-8, so that a
// scenario reads any name exactly: reg itself prints through the code page.
bool StepRegValue(const std::string& view, const std::string& path, const std::string& name)
{
    const std::string what = "regvalue " + path + " " + name;
    static const struct
    {
        const char* name;
        HKEY key;
    } roots[] = {
        {"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKCU\\", HKEY_CURRENT_USER}, {"HKCR\\", HKEY_CLASSES_ROOT}};
    HKEY root = nullptr;
    std::string subkey;
    for (const auto& candidate : roots)
        if (path.compare(0, std::strlen(candidate.name), candidate.name) == 0)
        {
            root = candidate.key;
            subkey = path.substr(std::strlen(candidate.name));
        }
    if (!root || (view != "32" && view != "64"))
        return Fail(what + ": no such root key or view " + view);
    HKEY key = nullptr;
    LONG error = ::RegOpenKeyExW(root, Widen(subkey).c_str(), 0,
                                 KEY_QUERY_VALUE | (view == "32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY), &key);
    if (error != ERROR_SUCCESS)
        return Fail(what + ": error " + std::to_string(error));
    DWORD type = 0;
    DWORD size = 0;
    const std::wstring wideName = Widen(name);
    std::vector<BYTE> data;
    error = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
    if (error == ERROR_SUCCESS)
    {
        data.resize(size + sizeof(wchar_t));
        error = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, data.data(), &size);
    }
    ::RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return Fail(what + ": error " + std::to_string(error));
    std::string value;
    if (type == REG_SZ || type == REG_EXPAND_SZ)
    {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        text.resize(std::wcslen(text.c_str()));
        value = Narrow(text);
    }
    else if (type == REG_DWORD && size == sizeof(DWORD))
    {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(number));
        value = hex;
    }
    else
        return Fail(what + ": a value of type " + std::to_string(type) + " is not shown");
    std::printf("%s\n", value.c_str());
    std::fflush(stdout);
    return true;
}

// The target a shell link names, as the shell reads it from the link's item
// list: Wine keeps the link information's local path in the code page only,
// the item list in Unicode.
bool StepLinkTarget(const std::string& link)
{
    const std::string what = "linktarget " + link;
    IShellLinkW* shellLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shellLink))))
        return Fail(what + ": no shell link object");
    IPersistFile* file = nullptr;
    PIDLIST_ABSOLUTE items = nullptr;
    wchar_t target[MAX_PATH * 2] = L"";
    HRESULT result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result))
    {
        result = file->Load(Widen(link).c_str(), STGM_READ);
        file->Release();
    }
    if (SUCCEEDED(result))
        result = shellLink->GetIDList(&items);
    shellLink->Release();
    const bool named = SUCCEEDED(result) && items && ::SHGetPathFromIDListW(items, target);
    ::CoTaskMemFree(items);
    if (!named)
        return Fail(what + ": no target read (" + std::to_string(result) + ")");
    std::printf("%s\n", Narrow(target, std::wcslen(target)).c_str());
    std::fflush(stdout);
    return true;
}

bool StepKill()
{
    // A program that ended before the kill came is no failure of the step:
    // a scenario that kills at a moment of its choosing looks at what the
    // program left either way.
    DWORD code = 0;
    if (g_process.hProcess && ::WaitForSingleObject(g_process.hProcess, 0) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(g_process.hProcess, &code))
        return Pass("kill: it had ended with exit code " + std::to_string(code));
    if (!g_process.hProcess)
        return Fail("kill: no program");
    if (!::TerminateProcess(g_process.hProcess, 1))
    {
        // Refused for a program that was ending as the kill came (Windows
        // says access denied then): what it left is looked at as well.
        const DWORD error = ::GetLastError();
        if (::WaitForSingleObject(g_process.hProcess, STEP_TIMEOUT_MS) == WAIT_OBJECT_0 &&
            ::GetExitCodeProcess(g_process.hProcess, &code))
            return Pass("kill: it was ending, with exit code " + std::to_string(code));
        return Fail("kill: error " + std::to_string(error));
    }
    if (::WaitForSingleObject(g_process.hProcess, STEP_TIMEOUT_MS) != WAIT_OBJECT_0)
        return Fail("kill: the program still runs");
    return Pass("kill");
}
} // namespace

// The steps come as Unicode (-municode): bash hands Wine UTF-8, which Wine
// makes the Unicode command line.
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int n = 1; n < argc; ++n)
        args.push_back(Narrow(argv[n], std::wcslen(argv[n])));
    size_t i = 0;
    auto next = [&]() -> std::string { return i < args.size() ? Unescape(args[i++]) : std::string(); };
    auto nextCode = [&]() { return static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 10)); };
    // A path as it is: C:\users\root must not read as a carriage return.
    auto nextPath = [&]() -> std::string { return i < args.size() ? args[i++] : std::string(); };
    ::CoInitialize(nullptr);
    bool ok = true;
    while (ok && i < args.size())
    {
        const std::string step = next();
        if (step == "start")
            ok = StepStart(next());
        else if (step == "startwith")
        {
            const std::string path = next();
            ok = StepStart(path, next());
        }
        else if (step == "startcmd")
            ok = StartCommandLine(std::string(), next());
        else if (step == "nowindow")
            ok = StepNoWindow();
        else if (step == "window")
            ok = StepWindow(next());
        else if (step == "gone")
            ok = StepGone(next());
        else if (step == "text")
        {
            const std::string caption = next();
            const int id = std::atoi(next().c_str());
            ok = StepText(caption, id, next());
        }
        else if (step == "windowtext")
        {
            const std::string caption = next();
            const int id = std::atoi(next().c_str());
            ok = StepWindowText(caption, id, next());
        }
        else if (step == "enabled" || step == "visible" || step == "checked")
        {
            const std::string caption = next();
            const int id = std::atoi(next().c_str());
            bool (*state)(HWND) = step == "enabled" ? IsEnabled : step == "visible" ? IsShown : IsChecked;
            ok = StepState(step.c_str(), state, caption, id, next() == "1");
        }
        else if (step == "settext")
        {
            const std::string caption = next();
            const int id = std::atoi(next().c_str());
            ok = StepSetText(caption, id, next());
        }
        else if (step == "click")
        {
            const std::string caption = next();
            ok = StepClick(caption, std::atoi(next().c_str()));
        }
        else if (step == "message")
        {
            const std::string expected = next();
            ok = StepMessage(expected, std::atoi(next().c_str()));
        }
        else if (step == "responsive")
            ok = StepResponsive(next());
        else if (step == "watch")
        {
            const std::string caption = next();
            ok = StepWatch(caption, std::atoi(next().c_str()));
        }
        else if (step == "watched")
            ok = StepWatched(next());
        else if (step == "screenshot")
            ok = StepScreenshot(next());
        else if (step == "windowshot")
        {
            const std::string caption = next();
            ok = StepWindowShot(caption, next());
        }
        else if (step == "drawn")
        {
            const std::string caption = next();
            ok = StepDrawn(caption, next());
        }
        else if (step == "onlywindow")
            ok = StepNoWindow(next());
        else if (step == "thaw")
            ok = StepThaw();
        else if (step == "move")
        {
            const std::string caption = next();
            const int x = std::atoi(next().c_str());
            ok = StepMove(caption, x, std::atoi(next().c_str()));
        }
        else if (step == "waitfile")
        {
            const std::string path = next();
            ok = StepWaitFile(path, next());
        }
        else if (step == "exit")
            ok = StepExit("exit", g_process, STEP_TIMEOUT_MS, nextCode());
        else if (step == "second")
            ok = StartCommandLine(std::string(), next(), g_second);
        else if (step == "secondexit")
            ok = StepExit("secondexit", g_second, LONG_RUN_MS, nextCode());
        else if (step == "together")
        {
            const std::string first = next();
            const std::string second = next();
            ok = StepTogether(first, second, next());
        }
        else if (step == "kill")
            ok = StepKill();
        else if (step == "shown")
            ok = StepShown(next()) != nullptr;
        else if (step == "regvalue")
        {
            const std::string view = next();
            const std::string key = nextPath();
            ok = StepRegValue(view, key, nextPath());
        }
        else if (step == "linktarget")
            ok = StepLinkTarget(nextPath());
        else if (step == "sleep")
            ::Sleep(static_cast<DWORD>(std::atoi(next().c_str())));
        else
            ok = Fail("unknown step " + step);
    }
    if (!ok && g_second.hProcess)
        ::TerminateProcess(g_second.hProcess, 99);
    if (!ok && g_process.hProcess)
    {
        ::ResumeThread(g_process.hThread);
        ::TerminateProcess(g_process.hProcess, 99);
    }
    return ok ? 0 : 1;
}

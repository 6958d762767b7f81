// Times one program run for the side-by-side benchmark (scripts/bench-setup.sh)
// and prints one line of figures.
//
//   setup_timer_win setup [--probe] PATH
//                                  starts the setup program at PATH, clicks
//                                  through its main, licence and install-path
//                                  dialogs when they appear, and stops the
//                                  clock when the completion message shows;
//                                  then answers it and waits for the exit.
//                                  With --probe, the progress window is sent
//                                  WM_NULL (200 ms timeout) at every poll
//   setup_timer_win run COMMAND    starts COMMAND (a whole command line) and
//                                  stops the clock when it exits
//
// Output: "seconds=S exit=CODE peak_private=BYTES probes=N unanswered=N slowest_ms=MS"
// (peak_private: the process's PeakPagefileUsage when the clock stopped;
// probes and slowest_ms: SendMessageTimeout WM_NULL calls sent to the
// progress window "Installing" while it was shown, and the slowest answer).
// Exit code 0 when the run went as expected, 1 otherwise (another message,
// a question, a window that did not answer within 200 ms, a timeout).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr DWORD POLL_MS = 5;
constexpr DWORD RUN_TIMEOUT_MS = 600000;
constexpr UINT PROBE_TIMEOUT_MS = 200;
constexpr char COMPLETION_PREFIX[] = "Installation is complete.";

// The text the system keeps for a window of another process, read without
// sending it a message: a busy setup would hold a WM_GETTEXT, and answering
// one every few milliseconds would slow it down.
std::string WindowText(HWND window)
{
    char buffer[512];
    const int copied = ::GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, copied > 0 ? static_cast<size_t>(copied) : 0);
}

// The visible top-level windows of one process.
struct ProcessWindows
{
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* request = reinterpret_cast<ProcessWindows*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == request->processId && ::IsWindowVisible(window) && ::GetWindow(window, GW_CHILD))
        request->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId)
{
    ProcessWindows request{processId, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&request));
    return request.windows;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

// Posts a click on button id of the dialog, once: the same button is not
// clicked again within CLICK_REPEAT_MS (the dialog may not have acted on the
// first click by the next poll, and a second click would undo a tick).
void Click(HWND dialog, int id)
{
    constexpr DWORD CLICK_REPEAT_MS = 500;
    static HWND lastButton = nullptr;
    static DWORD lastTick = 0;
    const HWND button = ::GetDlgItem(dialog, id);
    if (!button || !::IsWindowEnabled(button))
        return;
    if (button == lastButton && ::GetTickCount() - lastTick < CLICK_REPEAT_MS)
        return;
    lastButton = button;
    lastTick = ::GetTickCount();
    ::PostMessageA(button, BM_CLICK, 0, 0);
}

// What the clock stops at, and what the run looked like.
struct RunResult
{
    double seconds = -1;
    DWORD exitCode = STILL_ACTIVE;
    SIZE_T peakPrivate = 0;
    unsigned probes = 0;
    unsigned unanswered = 0;
    DWORD slowestProbeMs = 0;
    std::string failure;
};

class CClock
{
public:
    CClock()
    {
        ::QueryPerformanceFrequency(&m_frequency);
        ::QueryPerformanceCounter(&m_start);
    }
    double Seconds() const
    {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        return double(now.QuadPart - m_start.QuadPart) / double(m_frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_frequency, m_start;
};

bool Start(std::string commandLine, PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process) != FALSE;
}

SIZE_T PeakPrivateBytes(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return ::GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakPagefileUsage : 0;
}

// One pass over the setup's windows: answers what a user would, probes the
// progress window. True once the completion message was found (and pressed).
bool WorkSetupWindows(const PROCESS_INFORMATION& process, const CClock& clock, bool probe, RunResult& result)
{
    for (HWND window : VisibleWindowsOf(process.dwProcessId))
    {
        const std::string caption = WindowText(window);
        if (caption == "Setup" && ::GetDlgItem(window, 0xFFFF))
        {
            const std::string text = WindowText(::GetDlgItem(window, 0xFFFF));
            if (StartsWith(text, COMPLETION_PREFIX))
            {
                result.seconds = clock.Seconds();
                result.peakPrivate = PeakPrivateBytes(process.hProcess);
                Click(window, IDOK);
                return true;
            }
            result.failure = "message: " + text;
            Click(window, ::GetDlgItem(window, IDNO) ? IDNO : IDOK);
        }
        else if (caption == "Installing" && probe)
        {
            const DWORD before = ::GetTickCount();
            DWORD_PTR answer = 0;
            if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, PROBE_TIMEOUT_MS, &answer) &&
                ::IsWindow(window))
            {
                ++result.unanswered;
                if (result.failure.empty())
                    result.failure = "the progress window did not answer WM_NULL within 200 ms";
            }
            const DWORD took = ::GetTickCount() - before;
            ++result.probes;
            if (took > result.slowestProbeMs)
                result.slowestProbeMs = took;
        }
        else if (StartsWith(caption, "Lumiro (Build"))
            Click(window, 1001); // install or upgrade
        else if (caption == "License")
        {
            if (::SendMessageA(::GetDlgItem(window, 1002), BM_GETCHECK, 0, 0) != BST_CHECKED)
                Click(window, 1002);
            else
                Click(window, 1001);
        }
        else if (caption == "Choose Install Path")
            Click(window, IDOK);
        else if (caption == "Replace File")
        {
            result.failure = "asked to replace a file";
            Click(window, IDCANCEL);
        }
    }
    return false;
}

int Report(const RunResult& result)
{
    std::printf("seconds=%.3f exit=%lu peak_private=%lu probes=%u unanswered=%u slowest_ms=%lu\n", result.seconds,
                static_cast<unsigned long>(result.exitCode), static_cast<unsigned long>(result.peakPrivate),
                result.probes, result.unanswered, static_cast<unsigned long>(result.slowestProbeMs));
    if (!result.failure.empty())
        std::fprintf(stderr, "setup_timer_win: %s\n", result.failure.c_str());
    return result.failure.empty() && result.seconds >= 0 ? 0 : 1;
}

int TimeSetup(const std::string& path, bool probe)
{
    RunResult result;
    PROCESS_INFORMATION process{};
    const CClock clock;
    if (!Start("\"" + path + "\"", process))
    {
        result.failure = "cannot start " + path;
        return Report(result);
    }
    bool done = false;
    while (!done && clock.Seconds() * 1000 < RUN_TIMEOUT_MS)
    {
        done = WorkSetupWindows(process, clock, probe, result);
        if (!done && ::WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_OBJECT_0)
            break;
    }
    if (!done && result.failure.empty())
        result.failure = "no completion message";
    if (::WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 99);
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Report(result);
}

int TimeRun(const std::string& commandLine)
{
    RunResult result;
    PROCESS_INFORMATION process{};
    const CClock clock;
    if (!Start(commandLine, process))
    {
        result.failure = "cannot start " + commandLine;
        return Report(result);
    }
    if (::WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(process.hProcess, 99);
        result.failure = "timed out";
    }
    result.seconds = clock.Seconds();
    result.peakPrivate = PeakPrivateBytes(process.hProcess);
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    if (result.exitCode != 0 && result.failure.empty())
        result.failure = "exit code " + std::to_string(result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Report(result);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "setup" && argc == 3)
        return TimeSetup(argv[2], false);
    if (mode == "setup" && argc == 4 && std::string(argv[2]) == "--probe")
        return TimeSetup(argv[3], true);
    if (mode == "run" && argc >= 3)
    {
        std::string commandLine;
        for (int i = 2; i < argc; ++i)
            commandLine += (i > 2 ? " " : "") + std::string(argv[i]);
        return TimeRun(commandLine);
    }
    std::fprintf(stderr, "usage: setup_timer_win setup [--probe] PATH | run COMMAND...\n");
    return 2;
}

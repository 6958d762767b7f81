#pragma once
#include <windows.h>

#include <string>

// The application base: one object per program, reached through Current().
// The entry point calls Run, which runs InitInstance; the program ends when
// it returns, whatever windows it showed on the way.
class CWinAppBase
{
public:
    CWinAppBase();
    virtual ~CWinAppBase();
    CWinAppBase(const CWinAppBase&) = delete;
    CWinAppBase& operator=(const CWinAppBase&) = delete;

    virtual BOOL InitInstance() = 0;
    // The process exit code once InitInstance has returned.
    virtual int ExitCode() const { return 0; }

    // Runs InitInstance and gives the process exit code.
    int Run();

    static CWinAppBase* Current();
    // The module whose resources the program uses: the executable itself.
    static HINSTANCE ResourceInstance();

    // The application's title, string 57344: the caption of every message box.
    std::string Title() const;

    // The window that owns message boxes while it exists (the progress or the
    // uninstall window); null otherwise.
    HWND MainWindow() const { return m_hMainWnd; }
    void SetMainWindow(HWND window) { m_hMainWnd = window; }

private:
    HWND m_hMainWnd = nullptr;
    CWinAppBase* m_pPrevious = nullptr;
};

constexpr UINT IDS_APP_TITLE = 57344;

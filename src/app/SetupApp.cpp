#include "app/SetupApp.h"

#include "app/DlgInstalling.h"
#include "app/Messages.h"
#include "framework/Handles.h"
#include "framework/OleSession.h"
#include "resources/resource.h"

namespace
{
constexpr DWORD EXIT_CODE_NO_WINDOWS_VERSION = 1000;
constexpr DWORD FOLDER_BUFFER_LENGTH = 1024;
constexpr char SECURE_KEY[] = "Software\\Secure\\Corvane";

CWindowPrompts g_windowPrompts;
} // namespace

CSetupVantrelApp::CSetupVantrelApp() = default;
CSetupVantrelApp::~CSetupVantrelApp() = default;

void CSetupVantrelApp::SetUserPrompts(IUserPrompts* prompts) { m_pPrompts = prompts; }

IUserPrompts& CSetupVantrelApp::UserPrompts() { return m_pPrompts ? *m_pPrompts : g_windowPrompts; }

OSVERSIONINFOA CSetupVantrelApp::WindowsVersion()
{
    OSVERSIONINFOA info;
    ::ZeroMemory(&info, sizeof info);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the size the system expects");
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        ::ExitProcess(EXIT_CODE_NO_WINDOWS_VERSION);
#pragma GCC diagnostic pop
    return info;
}

bool CSetupVantrelApp::IsWindowsNT() { return WindowsVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

void CSetupVantrelApp::SetInstallPath(const std::string& path) { m_strInstallPath = path; }

bool CSetupVantrelApp::CreateSecureKey()
{
    unique_hkey key;
    char emptyClass[] = "";
    const LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, SECURE_KEY, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    return result == ERROR_SUCCESS;
}

void CSetupVantrelApp::DetermineFolders()
{
    char buffer[FOLDER_BUFFER_LENGTH];
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, FOLDER_BUFFER_LENGTH);
    const std::string modulePath(buffer, length < FOLDER_BUFFER_LENGTH ? length : 0);
    const size_t lastBackslash = modulePath.rfind('\\');
    m_strSourceDir = lastBackslash == std::string::npos ? std::string() : modulePath.substr(0, lastBackslash + 1);

    UINT folderLength = ::GetWindowsDirectoryA(buffer, FOLDER_BUFFER_LENGTH);
    m_strWindowsDir.assign(buffer, folderLength < FOLDER_BUFFER_LENGTH ? folderLength : 0);
    folderLength = ::GetSystemDirectoryA(buffer, FOLDER_BUFFER_LENGTH);
    m_strSystemDir.assign(buffer, folderLength < FOLDER_BUFFER_LENGTH ? folderLength : 0);
}

BOOL CSetupVantrelApp::InitInstance()
{
    COleSession ole;

    if (IsWindowsNT() && !CreateSecureKey())
        return FALSE;

    DetermineFolders();

    // The main dialog, and for a new installation the licence agreement and
    // the install-path dialog, come here: they choose between installing and
    // removing and set m_strInstallPath.

    DLG_Installing progress;
    if (!progress.Create(nullptr))
        return FALSE;
    SetMainWindow(progress.GetSafeHwnd());

    if (!RunInstall(progress))
    {
        SetMainWindow(nullptr);
        progress.DestroyWindow();
        return FALSE;
    }

    // The message that follows is owned by the active window, not by the
    // progress window that is going away.
    SetMainWindow(nullptr);
    progress.DestroyWindow();

    if (m_bRebootNeeded)
    {
        if (ShowMessage(IDS_RESTART_QUESTION, MB_YESNO | MB_ICONHAND) != IDNO)
            RestartWindows();
        return TRUE;
    }
    ShowMessage(IDS_INSTALL_COMPLETE, MB_OK);
    return FALSE;
}

void CSetupVantrelApp::RestartWindows()
{
    if (IsWindowsNT())
    {
        unique_handle token;
        if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
        {
            TOKEN_PRIVILEGES privileges{};
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
            ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
        }
    }
    if (!::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))
        ShowMessage(IDS_RESTART_FAILED, MB_OK);
}

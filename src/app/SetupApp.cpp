#include "app/SetupApp.h"

#include "app/DlgInstalling.h"
#include "app/Messages.h"
#include "framework/Handles.h"
#include "framework/OleSession.h"
#include "resources/resource.h"
#include "ui/DlgInstallPath.h"
#include "ui/DlgLicense.h"
#include "ui/DlgSetup.h"

namespace
{
constexpr DWORD EXIT_CODE_NO_WINDOWS_VERSION = 1000;
constexpr char SECURE_KEY[] = "Software\\Secure\\Corvane";

CWindowPrompts g_windowPrompts;

// One folder query of the system into folder; false, with the reason as the
// last error, when it fails or its answer does not fit the buffer (which
// GetModuleFileNameA reports by filling it, the folder queries by asking for
// more).
template <class Query>
bool QueryFolder(Query query, DWORD bufferLength, std::string& folder)
{
    std::vector<char> buffer(bufferLength + 1);
    const DWORD length = query(buffer.data(), bufferLength);
    if (length == 0)
        return false;
    if (length >= bufferLength)
    {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    folder.assign(buffer.data(), length);
    return true;
}
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

bool CSetupVantrelApp::DetermineFolders(DWORD bufferLength)
{
    std::string modulePath;
    const bool known =
        QueryFolder([](char* buffer, DWORD length) { return ::GetModuleFileNameA(nullptr, buffer, length); },
                    bufferLength, modulePath) &&
        QueryFolder([](char* buffer, DWORD length) { return ::GetWindowsDirectoryA(buffer, length); }, bufferLength,
                    m_strWindowsDir) &&
        QueryFolder([](char* buffer, DWORD length) { return ::GetSystemDirectoryA(buffer, length); }, bufferLength,
                    m_strSystemDir);
    const size_t lastBackslash = modulePath.rfind('\\');
    if (known && lastBackslash != std::string::npos)
    {
        m_strSourceDir = modulePath.substr(0, lastBackslash + 1);
        return true;
    }
    // Without these folders the packages would be looked for relative to
    // the current folder and installed to a drive's root: end here.
    if (known)
        ::SetLastError(ERROR_BAD_PATHNAME);
    const std::string reason = GetLastErrorText();
    ShowMessage(FormatResMessage(IDS_FOLDERS_UNKNOWN, {reason.c_str()}), MB_OK);
    return false;
}

BOOL CSetupVantrelApp::InitInstance()
{
    COleSession ole;

    if (IsWindowsNT() && !CreateSecureKey())
        return FALSE;

    if (!DetermineFolders())
        return FALSE;

    const SetupChoice choice = ChooseInstallation();
    if (choice == SetupChoice::Leave)
        return FALSE;
    if (choice == SetupChoice::Uninstall)
        return RunUninstall() ? TRUE : FALSE;

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

CSetupVantrelApp::SetupChoice CSetupVantrelApp::ChooseInstallation()
{
    // The main dialog sets m_strInstallPath to the installed copy's folder or
    // to the default one.
    DLG_Setup choice(*this);
    if (choice.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (choice.m_bUninstall)
        return SetupChoice::Uninstall;
    // Upgrading keeps the installed copy's folder and needs no agreement.
    if (choice.m_bUpgrade)
        return SetupChoice::Install;

    DLG_Main agreement(*this);
    if (agreement.DoModal() != IDOK)
        return SetupChoice::Leave;
    DLG_InstallPath folder(*this);
    folder.m_strPath = m_strInstallPath;
    if (folder.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (!folder.m_strPath.empty())
        m_strInstallPath = folder.m_strPath;
    return SetupChoice::Install;
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

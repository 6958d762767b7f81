#include "run/StartUp.h"

#include <string>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "framework/RegistryKey.h"
#include "install/SetupProgramCopy.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/InterruptedRun.h"
#include "run/Relaunch.h"
#include "run/RunGuard.h"
#include "run/SetupOptions.h"

namespace
{
constexpr char SECURE_KEY[] = "Software\\Secure\\Corvane";

// One folder query of the system into folder; false, with the reason as the
// last error, when it fails or its answer does not fit the buffer (which
// GetModuleFileName reports by filling it, the folder queries by asking for
// more).
template <class Query>
bool QueryFolder(Query query, DWORD bufferLength, std::string& folder)
{
    const DWORD length = query(folder, bufferLength);
    if (length == 0)
        return false;
    if (length >= bufferLength)
    {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    return true;
}
} // namespace

bool CreateSecureKey(const CSetupContext& context)
{
    if (!context.IsNT())
        return true;
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, SECURE_KEY, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS);
    return key.GetKey() != nullptr;
}

bool DetermineFolders(CSetupContext& context, DWORD bufferLength)
{
    std::string modulePath;
    const bool known =
        QueryFolder([](std::string& out, DWORD length) { return GetModuleFileNameU(out, length); }, bufferLength,
                    modulePath) &&
        QueryFolder([](std::string& out, DWORD length) { return GetWindowsDirectoryU(out, length); }, bufferLength,
                    context.m_strWindowsDir) &&
        QueryFolder([](std::string& out, DWORD length) { return GetSystemDirectoryU(out, length); }, bufferLength,
                    context.m_strSystemDir);
    const size_t lastBackslash = modulePath.rfind('\\');
    if (known && lastBackslash != std::string::npos)
    {
        context.m_strSourceDir = modulePath.substr(0, lastBackslash + 1);
        return true;
    }
    // Without these folders the packages would be looked for relative to
    // the current folder and installed to a drive's root: end here.
    if (known)
        ::SetLastError(ERROR_BAD_PATHNAME);
    const std::string reason = GetLastErrorText();
    context.ShowMessage(FormatResMessage(IDS_FOLDERS_UNKNOWN, {reason.c_str()}), MB_OK);
    return false;
}

bool TakeRunGuard(CSetupContext& context, CRunGuard& guard, int& exitCode)
{
    if (guard.Acquire())
        return true;
    if (::GetLastError() == ERROR_INSTALL_ALREADY_RUNNING)
    {
        exitCode = EXIT_ALREADY_RUNNING;
        context.ShowMessage(IDS_ALREADY_RUNNING, MB_OK);
        return false;
    }
    const std::string reason = GetLastErrorText();
    context.ShowMessage(FormatResMessage(IDS_RUN_GUARD_FAILED, {reason.c_str()}), MB_OK);
    return false;
}

bool RestartWindows(CSetupContext& context)
{
    if (context.IsNT())
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
    if (::ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))
        return true;
    context.ShowMessage(IDS_RESTART_FAILED, MB_OK);
    return false;
}

bool PrepareRun(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log, CRunGuard& guard,
                int& exitCode)
{
    exitCode = EXIT_FAILED;
    // The folders first: a hand-over to the temporary folder needs the
    // Windows folder for its queue on Windows 9x.
    if (!DetermineFolders(context))
        return false;
    // One run at a time, before this one looks at or changes anything.
    if (!TakeRunGuard(context, guard, exitCode))
        return false;
    const std::string program = RunningProgramPath();
    if (IsInstalledSetupProgram(program))
    {
        log.Write("Running from the installed copy: the run continues from the temporary folder.");
        DWORD relayed = 0;
        if (RunFromTemporaryFolder(context, program, options.arguments, relayed))
            exitCode = static_cast<int>(relayed);
        return false;
    }

    // From here on this process does the run itself, alone: it holds the
    // guard, and no hand-over is pending. A run that was killed is undone
    // before this one does anything.
    RecoverInterruptedRun(context, parts, log);
    if (!CreateSecureKey(context))
    {
        log.Failure("Setup cannot create the key HKLM\\Software\\Secure\\Corvane: administrative rights are needed.");
        return false;
    }
    return true;
}

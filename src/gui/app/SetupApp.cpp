#include "app/SetupApp.h"

#include "app/DlgInstalling.h"
#include "app/PassiveDisplay.h"
#include "app/UninstallFlow.h"
#include "app/WindowPrompts.h"
#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/OleSession.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/InstallSequence.h"
#include "run/MediumCheck.h"
#include "run/MediumRecord.h"
#include "run/RunGuard.h"
#include "run/RunParts.h"
#include "run/SetupOptions.h"
#include "run/StartUp.h"
#include "run/UnattendedRun.h"
#include "ui/DlgInstallPath.h"
#include "ui/DlgLicense.h"
#include "ui/DlgSetup.h"

namespace
{
// The text of /? (after the unknown switch, if that is why it is shown).
std::string UsageText(const SetupOptions& options)
{
    std::string text;
    if (!options.unknown.empty())
        text = FormatResMessage(IDS_UNKNOWN_SWITCH, {options.unknown.c_str()});
    return text + LoadResString(IDS_USAGE_SWITCHES) + LoadResString(IDS_USAGE_MORE_SWITCHES) +
           LoadResString(IDS_USAGE_EXIT_CODES);
}

int UninstallExitCode(UninstallResult result)
{
    switch (result)
    {
    case UninstallResult::Done:
    case UninstallResult::NothingRecorded:
        return EXIT_DONE;
    case UninstallResult::ItemsRemain:
    case UninstallResult::NotRun:
        break;
    }
    return EXIT_FAILED;
}
} // namespace

CSetupVantrelApp::CSetupVantrelApp() = default;
CSetupVantrelApp::~CSetupVantrelApp() = default;

BOOL CSetupVantrelApp::InitInstance()
{
    COleSession ole;
    const std::string commandLine = GetCommandLineU();
    const SetupOptions options = ParseCommandLine(commandLine);
    CWindowPrompts windows;
    CInstallLog log;
    OpenLog(log, options, windows);
    LogStart(log, commandLine);

    // The run's composition: its context and the objects wired into it.
    CSetupContext context;
    CRunParts parts(context);
    if (!options.Valid())
    {
        // /? or a switch not understood: the list of switches, shown only
        // when windows may be.
        const std::string usage = UsageText(options);
        if (options.silent)
            log.Write(usage);
        else
            windows.ShowMessageBox(usage, MB_OK | MB_ICONINFORMATION);
        m_nExitCode = EXIT_BAD_COMMAND_LINE;
    }
    else if (options.passive)
    {
        // The run of /S, showing its progress and its end.
        CPassiveDisplay display;
        m_nExitCode = RunUnattended(context, parts, options, log, &display);
    }
    else if (options.silent)
    {
        m_nExitCode = RunUnattended(context, parts, options, log);
    }
    else
    {
        m_nExitCode = RunWithWindows(context, parts, options, log);
    }
    log.Exit(m_nExitCode);
    return m_nExitCode == EXIT_DONE || m_nExitCode == EXIT_RESTART_NEEDED ? TRUE : FALSE;
}

void CSetupVantrelApp::OpenLog(CInstallLog& log, const SetupOptions& options, IUserPrompts& visible)
{
    if (!options.hasLog && !options.silent)
        return;
    const std::string defaultPath = DefaultLogPath();
    bool reported = false;
    log.SetFailureReporter([&log, &options, &visible, defaultPath, reported](const std::string& path,
                                                                             const std::string& reason) mutable {
        if (reported)
            return;
        reported = true;
        const std::string text = FormatResMessage(IDS_LOG_FAILED, {path.c_str(), reason.c_str()});
        if (!options.silent)
            visible.ShowMessageBox(text, MB_OK);
        else if (path != defaultPath && log.Open(defaultPath))
            log.Write(text);
    });
    log.Open(options.hasLog ? options.log : defaultPath);
}

int CSetupVantrelApp::RunWithWindows(CSetupContext& context, CRunParts& parts, const SetupOptions& options,
                                     CInstallLog& log)
{
    CWindowPrompts windows;
    CLoggingPrompts prompts(windows, log, true);
    context.SetPrompts(&prompts);
    context.SetEvents(&log);

    // Held until the run's end: no other setup runs meanwhile.
    CRunGuard guard;
    int exitCode = EXIT_FAILED;
    if (!PrepareRun(context, parts, options, log, guard, exitCode))
        return exitCode;

    // The medium's packages are checked while the dialogs wait for the
    // person; only an installation needs the result.
    CMediumCheck check;
    if (!options.uninstall)
        check.Start(context, ReadOwnMediumRecord());

    // /UNINSTALL goes straight to the uninstall window.
    const SetupChoice choice = options.uninstall ? SetupChoice::Uninstall : ChooseInstallation(context, options);
    if (choice != SetupChoice::Install)
        check.Stop();
    if (choice == SetupChoice::Leave)
        return EXIT_LEFT;
    if (choice == SetupChoice::Uninstall)
        return UninstallExitCode(RunUninstall(context, &log));

    log.Write("Install path: " + context.m_strInstallPath);
    const int installed = InstallInProgressWindow(context, parts, log, check);
    if (installed != EXIT_DONE)
        return installed;
    return FinishInstallation(context, options);
}

CSetupVantrelApp::SetupChoice CSetupVantrelApp::ChooseInstallation(CSetupContext& context,
                                                                   const SetupOptions& options)
{
    // The main dialog sets the install path to the installed copy's folder or
    // to the default one.
    DLG_Setup choice(context);
    if (choice.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (choice.m_bUninstall)
        return SetupChoice::Uninstall;
    // Upgrading keeps the installed copy's folder and needs no agreement.
    if (choice.m_bUpgrade)
        return SetupChoice::Install;

    DLG_Main agreement(context);
    if (agreement.DoModal() != IDOK)
        return SetupChoice::Leave;
    DLG_InstallPath folder(context);
    folder.m_strPath = options.hasDir ? options.dir : context.m_strInstallPath;
    if (folder.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (!folder.m_strPath.empty())
        context.m_strInstallPath = folder.m_strPath;
    return SetupChoice::Install;
}

int CSetupVantrelApp::InstallInProgressWindow(CSetupContext& context, CRunParts& parts, CInstallLog& log,
                                              CMediumCheck& check)
{
    DLG_Installing window;
    if (!window.Create(nullptr))
    {
        log.Failure("Setup cannot create its progress window.");
        return EXIT_FAILED;
    }
    SetMainWindow(window.GetSafeHwnd());
    CLoggingProgress progress(window, log);
    context.SetProgress(&progress);

    const int exitCode = RunCheckedInstall(context, parts, log, check);

    // What follows (the completion message, the restart question) is owned
    // by the active window, not by the progress window that is going away.
    context.SetProgress(nullptr);
    SetMainWindow(nullptr);
    window.DestroyWindow();
    return exitCode;
}

int CSetupVantrelApp::FinishInstallation(CSetupContext& context, const SetupOptions& options)
{
    if (!context.m_bRebootNeeded)
    {
        context.ShowMessage(IDS_INSTALL_COMPLETE, MB_OK);
        return EXIT_DONE;
    }
    if (options.noRestart)
    {
        context.ShowMessage(IDS_INSTALL_COMPLETE_RESTART_LATER, MB_OK);
        return EXIT_RESTART_NEEDED;
    }
    if (context.ShowMessage(IDS_RESTART_QUESTION, MB_YESNO | MB_ICONHAND) == IDNO)
        return EXIT_RESTART_NEEDED;
    return RestartWindows(context) ? EXIT_RESTART_STARTED : EXIT_RESTART_NEEDED;
}

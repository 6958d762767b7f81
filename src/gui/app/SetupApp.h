#pragma once
#include <windows.h>

#include <string>

#include "framework/WinApp.h"

class CSetupContext;
class CInstallLog;
class CRunParts;
class IUserPrompts;
class CMediumCheck;
struct SetupOptions;

// The application object: reads the command line, then either hands the
// run to the engine's unattended run (/S; /PASSIVE with the progress shown)
// or leads a person through the
// dialogs and runs the sequences in the progress and uninstall windows. The
// run's state lives in a CSetupContext that the start-up makes and hands to
// the engine's steps (src/core, src/install, src/registry, src/shell,
// src/run), which know nothing of windows. The process ends with the run's
// exit code (src/run/ExitCodes.h).
class CSetupVantrelApp : public CWinAppBase
{
public:
    CSetupVantrelApp();
    ~CSetupVantrelApp() override;

    BOOL InitInstance() override;
    int ExitCode() const override { return m_nExitCode; }

private:
    enum class SetupChoice
    {
        Leave,     // "Exit Setup", or a cancel confirmed in a later dialog
        Install,   // into the context's install path
        Uninstall,
    };
    // The run with windows; returns the exit code.
    int RunWithWindows(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log);
    // The main dialog and, for a new installation, the licence agreement and
    // the install-path dialog (preset with /DIR when given).
    SetupChoice ChooseInstallation(CSetupContext& context, const SetupOptions& options);
    // Waits for the check of the medium's packages, then runs the install
    // sequence, in the progress window; returns EXIT_DONE, or the exit code
    // when the window cannot be made, a package is refused or a step failed
    // (each showed why).
    int InstallInProgressWindow(CSetupContext& context, CRunParts& parts, CInstallLog& log, CMediumCheck& check);
    // The end of a successful installation: the restart question (not with
    // /NORESTART) or the completion message; returns the exit code.
    int FinishInstallation(CSetupContext& context, const SetupOptions& options);
    // Opens the log of /LOG, or with /S the default one. A log that cannot
    // be written is reported once: with a message box when windows are
    // shown, in the default log when not.
    void OpenLog(CInstallLog& log, const SetupOptions& options, IUserPrompts& visible);

    int m_nExitCode = 0;
};

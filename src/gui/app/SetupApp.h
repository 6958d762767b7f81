#pragma once
#include <windows.h>

#include "framework/WinApp.h"

class CSetupContext;

// The application object: start-up, the person's choice through the dialogs,
// and the windows the install and uninstall sequences run in. The run's state
// lives in a CSetupContext that the start-up makes and hands to the engine's
// steps (src/core, src/install, src/registry, src/shell, src/run), which know
// nothing of windows.
class CSetupVantrelApp : public CWinAppBase
{
public:
    CSetupVantrelApp();
    ~CSetupVantrelApp() override;

    BOOL InitInstance() override;

private:
    enum class SetupChoice
    {
        Leave,     // "Exit Setup", or a cancel confirmed in a later dialog
        Install,   // into the context's install path
        Uninstall,
    };
    // The main dialog and, for a new installation, the licence agreement and
    // the install-path dialog.
    SetupChoice ChooseInstallation(CSetupContext& context);
    // Runs the install sequence in the progress window; false when the
    // window cannot be made or a step failed (it showed why).
    bool InstallInProgressWindow(CSetupContext& context);
};

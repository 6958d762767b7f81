#include "app/UninstallFlow.h"

#include <string>

#include "app/DlgUninstalling.h"
#include "core/SetupContext.h"
#include "framework/WinApp.h"
#include "run/UninstallSequence.h"

bool RunUninstall(CSetupContext& context)
{
    // No recorded folder means no installation: nothing is shown.
    std::string installPath;
    if (!ReadRecordedInstallPath(installPath))
        return false;

    DLG_Uninstalling window;
    if (!window.Create(nullptr))
        return false;
    // Message boxes of the stages are owned by the uninstall window.
    CWinAppBase* app = CWinAppBase::Current();
    app->SetMainWindow(window.GetSafeHwnd());
    RunUninstallStages(context, installPath, window);
    app->SetMainWindow(nullptr);
    window.DestroyWindow();
    return true;
}

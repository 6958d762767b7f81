#include "app/UninstallFlow.h"

#include <string>

#include "app/DlgUninstalling.h"
#include "core/SetupContext.h"
#include "framework/WinApp.h"

UninstallResult RunUninstall(CSetupContext& context, IUninstallLog* alsoTo)
{
    // No recorded folder means no installation: nothing is shown.
    std::string installPath;
    if (!ReadRecordedInstallPath(installPath))
        return UninstallResult::NothingRecorded;

    DLG_Uninstalling window;
    if (!window.Create(nullptr))
        return UninstallResult::NotRun;
    // Message boxes of the stages are owned by the uninstall window.
    CWinAppBase* app = CWinAppBase::Current();
    app->SetMainWindow(window.GetSafeHwnd());
    CBothUninstallLogs logs(window, alsoTo);
    const UninstallResult result = RunUninstallStages(context, installPath, logs);
    app->SetMainWindow(nullptr);
    window.DestroyWindow();
    return result;
}

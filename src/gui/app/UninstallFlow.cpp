#include "app/UninstallFlow.h"

#include <string>

#include "app/DlgUninstalling.h"
#include "core/SetupContext.h"
#include "framework/WinApp.h"

namespace
{
// The stages shown in the window and written to a second log.
class CBothLogs : public IUninstallLog
{
public:
    CBothLogs(IUninstallLog& window, IUninstallLog* other) : m_window(window), m_other(other) {}
    void MarkStageEnded(int stage, const std::string& outcome) override
    {
        m_window.MarkStageEnded(stage, outcome);
        if (m_other)
            m_other->MarkStageEnded(stage, outcome);
    }

private:
    IUninstallLog& m_window;
    IUninstallLog* m_other;
};
} // namespace

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
    CBothLogs logs(window, alsoTo);
    const UninstallResult result = RunUninstallStages(context, installPath, logs);
    app->SetMainWindow(nullptr);
    window.DestroyWindow();
    return result;
}

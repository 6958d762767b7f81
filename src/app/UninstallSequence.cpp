#include "app/SetupApp.h"

#include "app/DlgUninstalling.h"
#include "app/Messages.h"
#include "framework/ResourceStrings.h"
#include "registry/ProductRecords.h"
#include "registry/RegistryKey.h"
#include "resources/resource.h"
#include "shell/InstallPathCheck.h"

namespace
{
// The message that explains why a recorded folder is not removed; 0 for a
// folder that may be.
UINT RefusalMessage(InstallPathProblem problem)
{
    switch (problem)
    {
    case InstallPathProblem::None:
        return 0;
    case InstallPathProblem::Empty:
        return IDS_UNINSTALL_PATH_EMPTY;
    case InstallPathProblem::NotAbsolute:
        return IDS_UNINSTALL_PATH_NOT_ABSOLUTE;
    case InstallPathProblem::DriveRoot:
        return IDS_UNINSTALL_PATH_DRIVE_ROOT;
    case InstallPathProblem::WellKnownFolder:
        return IDS_UNINSTALL_PATH_WELL_KNOWN;
    }
    return IDS_UNINSTALL_PATH_NOT_ABSOLUTE;
}
} // namespace

bool CSetupVantrelApp::RunUninstall()
{
    // The key stays open for the whole sequence, also while stage 2 deletes
    // it. No recorded folder means no installation: nothing is shown.
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    std::string installPath;
    if (!key.QueryString(VALUE_INSTALL_PATH, installPath))
        return false;

    DLG_Uninstalling window;
    if (!window.Create(nullptr))
        return false;
    // Message boxes of the stages are owned by the uninstall window.
    SetMainWindow(window.GetSafeHwnd());

    // Every stage runs whatever the one before it left behind; each reports
    // its own problems.
    bool itemsRemain = false;
    window.MarkStageEnded(1, RemoveProgramFiles(installPath, itemsRemain));
    RemoveRegistryRecords();
    window.MarkStageDone(2);
    RemoveShortcuts();
    window.MarkStageDone(3);

    // Success is claimed only when the tree is really gone.
    if (itemsRemain)
    {
        const std::string folder = TrimTrailingSeparators(installPath);
        ShowMessage(FormatResMessage(IDS_UNINSTALL_INCOMPLETE, {folder.c_str()}), MB_OK);
    }
    else
    {
        ShowMessage(IDS_UNINSTALL_COMPLETE, MB_OK);
    }
    SetMainWindow(nullptr);
    window.DestroyWindow();
    return true;
}

std::string CSetupVantrelApp::RemoveProgramFiles(const std::string& installPath, bool& itemsRemain)
{
    itemsRemain = false;
    // The whole tree goes, so the recorded folder must be one of ours: never
    // a drive root or a folder of Windows or of the user (a damaged or
    // hand-edited record), and it must hold an installed copy.
    if (const UINT refusal = RefusalMessage(CheckInstallPath(installPath)))
    {
        ShowMessage(FormatResMessage(refusal, {installPath.c_str()}), MB_OK);
        return LoadResString(IDS_UNINSTALL_SKIPPED);
    }
    const std::string folder = TrimTrailingSeparators(installPath);
    if (!HoldsInstalledCopy(folder))
        return FormatResMessage(IDS_UNINSTALL_NO_COPY, {folder.c_str()});

    if (RemoveFolderTree(folder, true))
        return LoadResString(IDS_UNINSTALL_DONE);
    itemsRemain = true;
    return LoadResString(IDS_UNINSTALL_ITEMS_REMAIN);
}

#include "app/SetupApp.h"

#include "app/InstallProgress.h"
#include "resources/resource.h"

bool CSetupVantrelApp::RunInstall(IInstallProgress& progress)
{
    // Each step reports its stage first, shows its own message when it fails
    // and returns false; the first failure ends the sequence and nothing done
    // before it is undone.
    if (!CreateInstallFolders(progress))
        return false;

    if (!InstallPackages(progress))
        return false;

    if (!WriteRegistryRecords(progress))
        return false;

    if (!CreateShortcuts(progress))
        return false;

    if (!RegisterComponents(progress))
        return false;

    if (!RegisterOleControls(progress))
        return false;

    // The folder rights report nothing and do not decide the installation's
    // result.
    SetFolderAccessRights();
    return true;
}

bool CSetupVantrelApp::RegisterComponents(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_COMPONENTS, 0);
    return true;
}

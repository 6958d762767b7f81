#include "run/InstallSequence.h"

#include "core/SetupContext.h"
#include "install/FolderDaclWriter.h"
#include "install/FreeSpace.h"
#include "install/OleRegistration.h"
#include "install/PackageInstall.h"
#include "install/SetupProgramCopy.h"
#include "registry/ProductRecords.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "shell/InstallFolders.h"
#include "shell/Shortcuts.h"

bool RunInstall(CSetupContext& context)
{
    // Before anything is written: a drive without room for the
    // installation stops it while nothing is changed.
    if (!CheckFreeSpace(context))
        return false;

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

    // Last, once everything else is in place: the setup program's own copy
    // and the entry in Windows' list of programs that starts it.
    if (!InstallSetupProgram(context))
        return false;
    WriteUninstallEntry(context);

    SetFolderAccessRights(context);
    return true;
}

bool RegisterComponents(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_COMPONENTS, 0);
    return true;
}

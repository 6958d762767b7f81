#include "run/UninstallSequence.h"

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
#include "install/TreeRemoval.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "resources/resource.h"
#include "shell/InstallPathCheck.h"
#include "shell/Shortcuts.h"

bool ReadRecordedInstallPath(std::string& installPath)
{
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    return key.QueryString(VALUE_INSTALL_PATH, installPath);
}

UninstallResult RunUninstallStages(CSetupContext& context, const std::string& installPath, IUninstallLog& log)
{
    // Every stage runs whatever the one before it left behind; each reports
    // its own problems.
    bool itemsRemain = false;
    log.MarkStageEnded(1, RemoveProgramFiles(context, installPath, itemsRemain));
    RemoveRegistryRecords(context);
    log.MarkStageEnded(2, LoadResString(IDS_UNINSTALL_DONE));
    RemoveShortcuts(context);
    log.MarkStageEnded(3, LoadResString(IDS_UNINSTALL_DONE));

    // Success is claimed only when the tree is really gone.
    if (itemsRemain)
    {
        const std::string folder = TrimTrailingSeparators(installPath);
        context.ShowMessage(FormatResMessage(IDS_UNINSTALL_INCOMPLETE, {folder.c_str()}), MB_OK);
        return UninstallResult::ItemsRemain;
    }
    context.ShowMessage(IDS_UNINSTALL_COMPLETE, MB_OK);
    return UninstallResult::Done;
}

std::string RemoveProgramFiles(CSetupContext& context, const std::string& installPath, bool& itemsRemain)
{
    itemsRemain = false;
    // The whole tree goes, so the recorded folder must be one of ours: never
    // a drive root or a folder of Windows or of the user (a damaged or
    // hand-edited record), and it must hold an installed copy.
    if (const UINT refusal = RecordedPathRefusal(CheckInstallPath(installPath)))
    {
        context.ShowMessage(FormatResMessage(refusal, {installPath.c_str()}), MB_OK);
        return LoadResString(IDS_UNINSTALL_SKIPPED);
    }
    const std::string folder = TrimTrailingSeparators(installPath);
    if (!HoldsInstalledCopy(folder))
        return FormatResMessage(IDS_UNINSTALL_NO_COPY, {folder.c_str()});

    const bool everything = RemoveFolderTree(context, folder, true);
    context.Events().FolderTreeRemoved(folder, everything);
    if (everything)
        return LoadResString(IDS_UNINSTALL_DONE);
    itemsRemain = true;
    return LoadResString(IDS_UNINSTALL_ITEMS_REMAIN);
}

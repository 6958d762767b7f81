#include "run/InstallSequence.h"

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
#include "install/FolderRights.h"
#include "install/FreeSpace.h"
#include "install/OleRegistration.h"
#include "install/PackageInstall.h"
#include "install/PayloadPlacement.h"
#include "install/SetupProgramCopy.h"
#include "registry/ProductRecords.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "shell/InstallFolders.h"
#include "shell/Shortcuts.h"
#include "run/ExitCodes.h"
#include "run/MediumCheck.h"
#include "run/RunParts.h"

namespace
{
// Starts keeping the run's journal on disk, so that a run that is killed is
// undone at the next start; false, after its message, when it cannot.
bool BeginJournal(CSetupContext& context, CUndoJournal& journal)
{
    CUndoJournal::RunInfo run;
    run.upgrade = context.m_bUpgrade;
    run.build = context.m_nInstalledBuild;
    run.installPath = context.m_strInstallPath;
    const std::string path = CUndoJournal::PathIn(context.m_strWindowsDir);
    if (journal.Begin(path, run))
        return true;
    const std::string reason = GetLastErrorText();
    context.ShowMessage(FormatResMessage(IDS_JOURNAL_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
    return false;
}

// Every step up to the records that say Lumiro is installed, which come last
// of all, once everything else is in place.
bool RunInstallSteps(CSetupContext& context)
{
    return CreateInstallFolders(context) && InstallPackages(context) && ConfigureSoftware(context) &&
           CreateShortcuts(context) && RegisterComponents(context) && RegisterOleControls(context) &&
           InstallSetupProgram(context) && WriteProductRecords(context) && WriteUninstallEntry(context);
}
} // namespace

bool RunInstall(CSetupContext& context, CRunParts& parts)
{
    // Before anything is written: a file this Windows cannot run, or a drive
    // without room for the installation, stops it while nothing is changed.
    if (!PlanPayload(context) || !CheckFreeSpace(context) || !BeginJournal(context, parts.Journal()))
        return false;
    if (!RunInstallSteps(context))
    {
        UndoInstallation(context, parts);
        return false;
    }
    parts.Journal().Commit(parts.Seams());
    SetFolderAccessRights(context);
    return true;
}

int RunCheckedInstall(CSetupContext& context, CRunParts& parts, CInstallLog& log, CMediumCheck& check)
{
    // Every package it will read is checked before anything is changed.
    context.Progress().SetStage(IDS_STAGE_CHECKING, 0);
    int refused = EXIT_FAILED;
    if (!check.Finish(context, log, refused))
        return refused;
    if (!RunInstall(context, parts))
        return context.m_bReplaceCancelled ? EXIT_LEFT : EXIT_FAILED;
    return EXIT_DONE;
}

bool RegisterComponents(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_COMPONENTS, 0);
    return true;
}

std::string DescribeUndo(const CUndoJournal::RunInfo& run, const std::vector<std::string>& failures)
{
    if (!failures.empty())
    {
        std::string items;
        for (const std::string& failure : failures)
            items += (items.empty() ? "" : "\n") + failure;
        return FormatResMessage(IDS_UNDO_INCOMPLETE, {items.c_str()});
    }
    if (!run.upgrade)
        return LoadResString(IDS_UNDONE_NEW);
    const std::string build = run.build ? std::to_string(run.build) : std::string("n/a");
    return FormatResMessage(IDS_UNDONE_UPGRADE, {build.c_str()});
}

void UndoInstallation(CSetupContext& context, CRunParts& parts)
{
    CUndoJournal& journal = parts.Journal();
    const CUndoJournal::RunInfo run = journal.Run();
    const std::vector<std::string> failures = journal.Rollback(parts.Seams());
    // What was queued for the restart has been taken back with the rest.
    context.m_bRebootNeeded = false;
    context.ShowMessage(DescribeUndo(run, failures), MB_OK);
}

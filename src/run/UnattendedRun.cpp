#include "run/UnattendedRun.h"

#include <windows.h>

#include "core/DefaultAnswerPrompts.h"
#include "core/Messages.h"
#include "core/SetupContext.h"
#include "package/PackageFormat.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/InstallSequence.h"
#include "run/InstalledCopy.h"
#include "run/MediumCheck.h"
#include "run/MediumRecord.h"
#include "run/RunGuard.h"
#include "run/SetupOptions.h"
#include "run/StartUp.h"
#include "run/UninstallSequence.h"
#include "shell/InstallPathCheck.h"

namespace
{
int Install(CSetupContext& context, const SetupOptions& options, CInstallLog& log, CMediumCheck& check)
{
    const InstalledCopy copy = FindInstalledCopy();
    const std::string build = std::to_string(copy.build);
    if (copy.offer == InstallOffer::UninstallOnly)
    {
        // Never a downgrade; the same build is already what was asked for.
        if (copy.build > static_cast<DWORD>(PACKAGE_BUILD))
        {
            log.Write("A newer build (" + build + ") is installed in " + copy.path + ": nothing is changed.");
            return EXIT_NEWER_INSTALLED;
        }
        log.Write("Lumiro build " + build + " is already installed in " + copy.path + ".");
        return EXIT_DONE;
    }
    if (copy.offer == InstallOffer::Upgrade)
    {
        // An upgrade stays in the installed copy's folder.
        log.Write("Upgrading build " + (copy.build ? build : std::string("n/a")) + " in " + copy.path + ".");
        if (options.hasDir)
            log.Write("The folder of /DIR is not used: an upgrade stays in the installed copy's folder.");
        context.m_strInstallPath = copy.path;
        context.m_bUpgrade = true;
        context.m_nInstalledBuild = copy.build;
    }
    else
    {
        const std::string folder = options.hasDir ? options.dir : std::string(CSetupContext::DEFAULT_INSTALL_PATH);
        if (const UINT refusal = ChosenPathRefusal(CheckInstallPath(folder)))
        {
            context.ShowMessage(FormatResMessage(refusal, {folder.c_str()}), MB_OK);
            return EXIT_FAILED;
        }
        context.m_strInstallPath = TrimTrailingSeparators(folder);
    }
    log.Write("Install path: " + context.m_strInstallPath);

    // Every package it will read is checked before anything is changed.
    context.Progress().SetStage(IDS_STAGE_CHECKING, 0);
    int refused = EXIT_FAILED;
    if (!check.Finish(context, log, refused))
        return refused;
    if (!RunInstall(context))
        return context.m_bReplaceCancelled ? EXIT_LEFT : EXIT_FAILED;
    if (context.m_bRebootNeeded)
    {
        log.Write("A restart is needed to finish the installation; it is not made by an unattended run.");
        return EXIT_RESTART_NEEDED;
    }
    context.ShowMessage(IDS_INSTALL_COMPLETE, MB_OK);
    return EXIT_DONE;
}

int Uninstall(CSetupContext& context, CInstallLog& log)
{
    std::string installPath;
    if (!ReadRecordedInstallPath(installPath))
    {
        log.Write("No installation of Lumiro is recorded: there is nothing to remove.");
        return EXIT_DONE;
    }
    log.Write("Removing the installation recorded in " + installPath + ".");
    return RunUninstallStages(context, installPath, log) == UninstallResult::Done ? EXIT_DONE : EXIT_FAILED;
}
} // namespace

int RunUnattended(CSetupContext& context, const SetupOptions& options, CInstallLog& log)
{
    // Nobody sees the run: every message and question is answered with its
    // default button and written to the log.
    CDefaultAnswerPrompts answers;
    CLoggingPrompts prompts(answers, log, false);
    CNoProgress nobody;
    CLoggingProgress progress(nobody, log);
    context.SetPrompts(&prompts);
    context.SetProgress(&progress);
    context.SetEvents(&log);

    int exitCode = EXIT_FAILED;
    CRunGuard guard; // held until the run's end
    if (PrepareRun(context, options, log, guard, exitCode))
    {
        // The packages are read while the run looks for an installed copy.
        CMediumCheck check;
        if (!options.uninstall)
            check.Start(context, ReadOwnMediumRecord());
        exitCode = options.uninstall ? Uninstall(context, log) : Install(context, options, log, check);
    }

    context.SetPrompts(nullptr);
    context.SetProgress(nullptr);
    context.SetEvents(nullptr);
    return exitCode;
}

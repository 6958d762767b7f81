#include "run/UnattendedRun.h"

#include <windows.h>

#include "core/DefaultAnswerPrompts.h"
#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
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
// The answers of nobody: every message box its default button, and the
// replace question, whose default is Yes, answered Yes to all at its first
// asking, so that every later file without version information is replaced
// without a question.
class CUnattendedAnswers : public CDefaultAnswerPrompts
{
public:
    ReplaceAnswer AskReplaceFile(const std::string&) override { return ReplaceAnswer::YesToAll; }
};

// The text a /PASSIVE run ends with in its window: the completion, or why it
// did not succeed (the first message of the run, which the log ends with).
std::string EndText(int exitCode, UINT doneId, const CInstallLog& log)
{
    if (exitCode == EXIT_DONE)
        return LoadResString(doneId);
    if (exitCode == EXIT_RESTART_NEEDED)
        return LoadResString(IDS_INSTALL_COMPLETE_RESTART_LATER);
    return log.FirstFailure();
}

// The installation from the check of its packages on; returns the exit code.
int InstallChecked(CSetupContext& context, CRunParts& parts, CInstallLog& log, CMediumCheck& check)
{
    const int installed = RunCheckedInstall(context, parts, log, check);
    if (installed != EXIT_DONE)
        return installed;
    if (context.m_bRebootNeeded)
    {
        log.Write("A restart is needed to finish the installation; it is not made by an unattended run.");
        return EXIT_RESTART_NEEDED;
    }
    context.ShowMessage(IDS_INSTALL_COMPLETE, MB_OK);
    return EXIT_DONE;
}

// The same, shown in the display's progress window when there is one.
int InstallShown(CSetupContext& context, CRunParts& parts, CInstallLog& log, CMediumCheck& check,
                 IRunDisplay* display)
{
    IInstallProgress* window = display ? display->ShowInstallProgress() : nullptr;
    if (!window)
        return InstallChecked(context, parts, log, check);
    CLoggingProgress progress(*window, log);
    IInstallProgress& unseen = context.Progress();
    context.SetProgress(&progress);
    const int exitCode = InstallChecked(context, parts, log, check);
    display->ShowEnd(EndText(exitCode, IDS_INSTALL_COMPLETE, log));
    context.SetProgress(&unseen);
    return exitCode;
}

int Install(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log,
            CMediumCheck& check, IRunDisplay* display)
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
    return InstallShown(context, parts, log, check, display);
}

int Uninstall(CSetupContext& context, CInstallLog& log, IRunDisplay* display)
{
    std::string installPath;
    if (!ReadRecordedInstallPath(installPath))
    {
        log.Write("No installation of Lumiro is recorded: there is nothing to remove.");
        return EXIT_DONE;
    }
    log.Write("Removing the installation recorded in " + installPath + ".");
    IUninstallLog* window = display ? display->ShowRemoval() : nullptr;
    CBothUninstallLogs stages(log, window);
    const int exitCode =
        RunUninstallStages(context, installPath, stages) == UninstallResult::Done ? EXIT_DONE : EXIT_FAILED;
    if (window)
        display->ShowEnd(EndText(exitCode, IDS_UNINSTALL_COMPLETE, log));
    return exitCode;
}
} // namespace

int RunUnattended(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log,
                 IRunDisplay* display)
{
    // Nobody answers the run (a /PASSIVE display only shows it): every
    // message and question is answered as CUnattendedAnswers says and
    // written to the log.
    CUnattendedAnswers answers;
    CLoggingPrompts prompts(answers, log, false);
    CNoProgress nobody;
    CLoggingProgress progress(nobody, log);
    context.SetPrompts(&prompts);
    context.SetProgress(&progress);
    context.SetEvents(&log);

    int exitCode = EXIT_FAILED;
    CRunGuard guard; // held until the run's end
    if (PrepareRun(context, parts, options, log, guard, exitCode))
    {
        // The packages are read while the run looks for an installed copy.
        CMediumCheck check;
        if (!options.uninstall)
            check.Start(context, ReadOwnMediumRecord());
        exitCode =
            options.uninstall ? Uninstall(context, log, display) : Install(context, parts, options, log, check, display);
    }

    context.SetPrompts(nullptr);
    context.SetProgress(nullptr);
    context.SetEvents(nullptr);
    return exitCode;
}

#include "run/UnattendedRun.h"

#include <windows.h>

#include "core/DefaultAnswerPrompts.h"
#include "core/Messages.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "install/SetupProgramCopy.h"
#include "package/PackageFormat.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/InstallSequence.h"
#include "run/InstalledCopy.h"
#include "run/Relaunch.h"
#include "run/SetupOptions.h"
#include "run/StartUp.h"
#include "run/UninstallSequence.h"
#include "shell/InstallPathCheck.h"

namespace
{
int Install(CSetupContext& context, const SetupOptions& options, CInstallLog& log)
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

bool PrepareRun(CSetupContext& context, const SetupOptions& options, CInstallLog& log, int& exitCode)
{
    exitCode = EXIT_FAILED;
    // The folders first: a hand-over to the temporary folder needs the
    // Windows folder for its queue on Windows 9x.
    if (!DetermineFolders(context))
        return false;
    const std::string program = RunningProgramPath();
    if (IsInstalledSetupProgram(program))
    {
        log.Write("Running from the installed copy: the run continues from the temporary folder.");
        DWORD relayed = 0;
        if (RunFromTemporaryFolder(context, program, options.arguments, relayed))
            exitCode = static_cast<int>(relayed);
        return false;
    }
    if (!CreateSecureKey(context))
    {
        log.Failure("Setup cannot create the key HKLM\\Software\\Secure\\Corvane: administrative rights are needed.");
        return false;
    }
    return true;
}

std::string DefaultLogPath()
{
    char folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(MAX_PATH + 1, folder);
    std::string path = length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string("C:\\");
    if (path.back() != '\\')
        path += '\\';
    return path + "Lumiro Setup.log";
}

void LogStart(CInstallLog& log, const std::string& commandLine)
{
    const OSVERSIONINFOA version = WindowsVersion();
    log.Write("Lumiro Setup build " + std::to_string(PACKAGE_BUILD) + " started on Windows " +
              std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
              std::to_string(version.dwBuildNumber & 0xFFFF) +
              (version.dwPlatformId == VER_PLATFORM_WIN32_NT ? " (NT family)" : " (Windows 9x)"));
    log.Write("Command line: " + commandLine);
}

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
    if (PrepareRun(context, options, log, exitCode))
        exitCode = options.uninstall ? Uninstall(context, log) : Install(context, options, log);

    context.SetPrompts(nullptr);
    context.SetProgress(nullptr);
    context.SetEvents(nullptr);
    return exitCode;
}

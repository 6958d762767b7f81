#include "run/Relaunch.h"

#include "core/Messages.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "core/BootReplacementQueue.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/HandOverFolder.h"
#include "run/RunGuard.h"
#include "shell/InstallPathCheck.h"

namespace
{
// How many names in the temporary folder a run may try on Windows 9x.
constexpr unsigned MAX_TEMPORARY_NAMES = 16;

std::string FolderOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string NameOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? path : path.substr(last + 1);
}

bool NameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// Puts the program at copy, a name nothing has: moved when the system lets
// it, else copied. False with the reason as the last error; moved tells
// which happened.
bool PlaceAt(const std::string& program, const std::string& copy, bool& moved)
{
    moved = MoveFileExU(program.c_str(), copy.c_str(), 0) != FALSE;
    if (moved)
        return true;
    if (NameTaken(::GetLastError()))
        return false;
    // Another drive, or a system that keeps a running program's file where
    // it is: a copy of it.
    return CopyFileU(program, copy, TRUE) != FALSE;
}

// Puts the program into a place of its own in the temporary folder: on the
// NT family "setup.exe" in a new folder that only this user, SYSTEM and the
// Administrators may write in (HandOverFolder.h); on Windows 9x, which keeps
// no access rights and whose WININIT.INI deletes files only, a file of a new
// random name. Nothing that was there before is used. folder is the new
// folder ("" on 9x).
bool PlaceInTemporaryFolder(CSetupContext& context, const std::string& program, const std::string& temporary,
                            std::string& folder, std::string& copy, bool& moved)
{
    folder.clear();
    if (context.IsNT())
    {
        CSystemFolderMaker maker;
        if (!MakeHandOverFolder(temporary, maker, folder))
            return false;
        copy = folder + "\\setup.exe";
        if (PlaceAt(program, copy, moved))
            return true;
        const DWORD error = ::GetLastError();
        RemoveDirectoryU(folder);
        ::SetLastError(error);
        return false;
    }
    for (unsigned n = 0; n < MAX_TEMPORARY_NAMES; ++n)
    {
        std::string name;
        if (!RandomName("LumiroSetup-", ".exe", name))
        {
            // Windows 95 without CryptoAPI: a name of the moment, which
            // nobody needs to guess on a system without users to keep apart.
            LARGE_INTEGER now;
            ::QueryPerformanceCounter(&now);
            name = "LumiroSetup-" + std::to_string(::GetCurrentProcessId()) + "-" +
                   std::to_string(now.QuadPart) + ".exe";
        }
        copy = temporary + "\\" + name;
        if (PlaceAt(program, copy, moved))
            return true;
        if (!NameTaken(::GetLastError()))
            return false;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return false;
}
} // namespace

bool IsInstalledSetupProgram(const std::string& programPath)
{
    const std::string folder = FolderOf(programPath);
    return CompareNamesU(NameOf(folder), "Setup") == 0 && HoldsInstalledCopy(FolderOf(folder));
}

bool RunFromTemporaryFolder(CSetupContext& context, const std::string& programPath, const std::string& arguments,
                            DWORD& exitCode)
{
    const std::string temporary = TemporaryFolder();
    std::string privateFolder;
    std::string copy;
    bool moved = false;
    if (temporary.empty() || !PlaceInTemporaryFolder(context, programPath, temporary, privateFolder, copy, moved))
    {
        const std::string reason = GetLastErrorText();
        context.ShowMessage(FormatResMessage(IDS_SETUP_COPY_FAILED, {temporary.c_str(), reason.c_str()}), MB_OK);
        return false;
    }
    const std::string folder = FolderOf(copy);

    // Started from the temporary folder, so that neither its file nor its
    // current folder keeps the installation's folder in use; held until
    // this run lets it take the guard this run holds (and keeps holding
    // until the copy ends), so that no other setup can slip in between.
    PROCESS_INFORMATION started{};
    const std::string commandLine = "\"" + copy + "\"" + (arguments.empty() ? "" : " " + arguments);
    CHandOverPermit permit;
    const bool created = CreateProcessU(copy, commandLine, CREATE_SUSPENDED, folder, started) != FALSE;
    const unique_handle process(started.hProcess);
    const unique_handle thread(started.hThread);
    if (!created || !permit.Grant(started.dwProcessId) || ::ResumeThread(thread.get()) == static_cast<DWORD>(-1))
    {
        const std::string reason = GetLastErrorText();
        if (created)
        {
            ::TerminateProcess(process.get(), EXIT_FAILED);
            ::WaitForSingleObject(process.get(), INFINITE);
        }
        // Nothing was removed: the installed copy goes back to its place.
        if (moved)
            MoveFileExU(copy.c_str(), programPath.c_str(), 0);
        else
            DeleteFileU(copy.c_str());
        if (!privateFolder.empty())
            RemoveDirectoryU(privateFolder);
        context.ShowMessage(FormatResMessage(IDS_SETUP_START_FAILED, {copy.c_str(), reason.c_str()}), MB_OK);
        return false;
    }

    // The copy runs until its own end, so it cannot delete itself: Windows
    // does at its next start, and then its folder, empty by then. Should
    // that be refused, a file in the temporary folder is all that stays.
    IBootReplacementQueue& queue = context.BootQueue();
    if (queue.QueueDeletion(copy) && (privateFolder.empty() || queue.QueueDeletion(privateFolder)))
        queue.Commit();

    ::WaitForSingleObject(process.get(), INFINITE);
    exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);

    // The run kept the installation (Exit Setup, a refused folder, items that
    // stayed): the installed copy goes back where its entry starts it, and
    // its empty folder goes at once.
    if (moved && IsFolderU(FolderOf(programPath)) && MoveFileExU(copy.c_str(), programPath.c_str(), 0) &&
        !privateFolder.empty())
        RemoveDirectoryU(privateFolder);
    return true;
}

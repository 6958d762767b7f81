#include "install/SetupProgramCopy.h"

#include <windows.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/SystemCalls.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

std::string RunningProgramPath()
{
    std::string path;
    return GetModuleFileNameU(nullptr, path) ? path : std::string();
}

bool InstallSetupProgram(CSetupContext& context)
{
    const std::string program = RunningProgramPath();
    const std::string folder = context.m_strInstallPath + INSTALLED_SETUP_FOLDER;
    const std::string target = context.m_strInstallPath + INSTALLED_SETUP_PROGRAM;
    // The installed copy itself needs no copy of itself.
    if (CompareNamesU(program, target) == 0)
        return true;

    if (MakeFolder(context, folder) == FolderMaking::Stopped)
        return false;
    // The copy goes into a temporary file first; an earlier copy is set aside
    // (the undo puts it back) only once the new one is whole.
    IChangeJournal& journal = context.Journal();
    const std::string temporary = folder + "\\setup.$$$";
    const bool earlierCopy = GetFileAttributesU(target) != INVALID_FILE_ATTRIBUTES;
    if (!(earlierCopy ? journal.NoteTemporaryFile(temporary) : journal.NoteNewFile(target, temporary)))
        return ShowJournalFailure(context);
    const bool copied = CopyFileU(program, temporary, FALSE) &&
                        (!earlierCopy || journal.SetAside(target)) &&
                        MoveFileU(temporary, target);
    if (copied)
        return true;
    if (journal.Failed())
        return ShowJournalFailure(context);
    const std::string reason = GetLastErrorText();
    DeleteFileU(temporary.c_str());
    context.ShowMessage(FormatResMessage(IDS_SETUP_COPY_FAILED, {target.c_str(), reason.c_str()}), MB_OK);
    return false;
}

#include "install/SetupProgramCopy.h"

#include <windows.h>

#include <vector>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "undo/UndoJournal.h"

std::string RunningProgramPath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

bool InstallSetupProgram(CSetupContext& context)
{
    const std::string program = RunningProgramPath();
    const std::string folder = context.m_strInstallPath + INSTALLED_SETUP_FOLDER;
    const std::string target = context.m_strInstallPath + INSTALLED_SETUP_PROGRAM;
    // The installed copy itself needs no copy of itself.
    if (::lstrcmpiA(program.c_str(), target.c_str()) == 0)
        return true;

    if (::CreateDirectoryA(folder.c_str(), nullptr) && !NoteFolderMade(context, folder))
        return false;
    // The copy goes into a temporary file first; an earlier copy is set aside
    // (the undo puts it back) only once the new one is whole.
    CUndoJournal& journal = context.Journal();
    const std::string temporary = folder + "\\setup.$$$";
    const bool earlierCopy = ::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!(earlierCopy ? journal.NoteTemporaryFile(temporary) : journal.NoteNewFile(target, temporary)))
        return ShowJournalFailure(context);
    const bool copied = ::CopyFileA(program.c_str(), temporary.c_str(), FALSE) &&
                        (!earlierCopy || journal.SetAside(target)) &&
                        ::MoveFileA(temporary.c_str(), target.c_str());
    if (copied)
        return true;
    if (journal.Failed())
        return ShowJournalFailure(context);
    const std::string reason = GetLastErrorText();
    ::DeleteFileA(temporary.c_str());
    context.ShowMessage(FormatResMessage(IDS_SETUP_COPY_FAILED, {target.c_str(), reason.c_str()}), MB_OK);
    return false;
}

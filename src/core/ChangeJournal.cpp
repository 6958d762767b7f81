#include "core/ChangeJournal.h"

#include "core/InstallEvents.h"
#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"

std::string JournalFailureMessage(CSetupContext& context)
{
    const std::string reason = GetLastErrorText();
    const std::string& path = context.Journal().Path();
    return FormatResMessage(IDS_JOURNAL_FAILED, {path.c_str(), reason.c_str()});
}

bool ShowJournalFailure(CSetupContext& context)
{
    context.ShowMessage(JournalFailureMessage(context), MB_OK);
    return false;
}

FolderMaking MakeFolder(CSetupContext& context, const std::string& folder)
{
    IChangeJournal& journal = context.Journal();
    if (!journal.NoteFolderToMake(folder))
    {
        ShowJournalFailure(context);
        return FolderMaking::Stopped;
    }
    if (CreateDirectoryU(folder.c_str(), nullptr))
    {
        context.Events().FolderMade(folder);
        return FolderMaking::Made;
    }
    const DWORD error = ::GetLastError();
    if (!journal.CancelNewFile(folder))
    {
        ShowJournalFailure(context);
        return FolderMaking::Stopped;
    }
    ::SetLastError(error);
    return error == ERROR_ALREADY_EXISTS ? FolderMaking::AlreadyThere : FolderMaking::Failed;
}

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

bool NoteFolderMade(CSetupContext& context, const std::string& folder)
{
    if (!context.Journal().NoteFolderMade(folder))
    {
        ShowJournalFailure(context);
        RemoveDirectoryU(folder);
        return false;
    }
    context.Events().FolderMade(folder);
    return true;
}

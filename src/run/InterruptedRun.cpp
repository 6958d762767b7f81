#include "run/InterruptedRun.h"

#include <windows.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "run/InstallLog.h"
#include "run/InstallSequence.h"
#include "run/RunParts.h"

void RecoverInterruptedRun(CSetupContext& context, CRunParts& parts, CInstallLog& log)
{
    const std::string path = CUndoJournal::PathIn(context.m_strWindowsDir);
    if (GetFileAttributesU(path) == INVALID_FILE_ATTRIBUTES)
        return;
    CUndoJournal& journal = parts.Journal();
    if (!journal.Load(path))
    {
        // A journal that is no journal of ours cannot be undone; it goes, so
        // that the next installation can keep its own. One that cannot be
        // read now (in use, denied) stays for a later start.
        const DWORD error = ::GetLastError();
        const std::string reason = GetLastErrorText();
        context.ShowMessage(FormatResMessage(IDS_JOURNAL_UNREADABLE, {path.c_str(), reason.c_str()}), MB_OK);
        if (error == ERROR_FILE_CORRUPT)
            DeleteFileU(path.c_str());
        return;
    }
    if (journal.Committed())
    {
        log.Write("The last run finished its installation but not its clean-up: the earlier copies it set aside "
                  "are deleted now.");
        journal.Commit(parts.Seams());
        return;
    }
    log.Write("The last run was interrupted: its changes are undone from " + path + ".");
    const CUndoJournal::RunInfo run = journal.Run();
    const std::vector<std::string> failures = journal.Rollback(parts.Seams());
    context.ShowMessage(LoadResString(IDS_RECOVERED) + DescribeUndo(run, failures), MB_OK);
}

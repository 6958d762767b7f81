#pragma once
#include <string>
#include <vector>

#include "undo/UndoJournal.h"

class CInstallLog;
class CMediumCheck;
class CRunParts;
class CSetupContext;

// The install sequence: the check that the drives have room for it (before
// anything is written), folders, packages, the font-mapping tables,
// shortcuts, components, the OLE control, the setup program's installed copy,
// and last the records and the entry in Windows' list of programs that say
// Lumiro is installed; then the folder rights. Each step reports its stage on
// the context's progress, notes its changes in the context's journal (kept on
// disk in the Windows folder from the start), shows its own message when it
// fails and returns false. The first false ends the sequence: every change
// is undone and the run's end said (UndoInstallation). On success the journal
// is committed: the earlier copies set aside go. The folder rights report
// nothing and do not decide the result.
bool RunInstall(CSetupContext& context, CRunParts& parts);
// The check of every package the installation reads (its stage shown on the
// context's progress), then, where it holds, the install sequence; the same
// for a run with windows and without. Returns the exit code: EXIT_DONE, the
// check's refusal (1620, 1603), EXIT_LEFT when the person cancelled, else
// EXIT_FAILED.
int RunCheckedInstall(CSetupContext& context, CRunParts& parts, CInstallLog& log, CMediumCheck& check);
// The components stage: it announces itself and has nothing else to do.
bool RegisterComponents(CSetupContext& context);

// Undoes what the run's journal noted and shows (through the prompts,
// so also in the log) what is left: the earlier build as it was, nothing of a
// new installation, or the items that could not be undone.
void UndoInstallation(CSetupContext& context, CRunParts& parts);
// The words after an undo of the run: "Lumiro (Build N) is as it was before"
// for an upgrade, "nothing was left" for a new installation, or the list of
// items that stay as the run left them.
std::string DescribeUndo(const CUndoJournal::RunInfo& run, const std::vector<std::string>& failures);

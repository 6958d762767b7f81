#pragma once

class CSetupContext;
class CInstallLog;
class CRunParts;

// A run that was killed, or cut short by a power cut, left its journal in the
// Windows folder: this undoes every change it had noted, so that Lumiro is as
// it was before that run (or, when the run had finished and only its
// set-aside copies were still to go, deletes them). The log says what was
// undone; a message (shown, or logged without windows) says how the machine
// is now. Nothing happens without a journal. Called at the start of every
// run that may change something, before anything else is done.
void RecoverInterruptedRun(CSetupContext& context, CRunParts& parts, CInstallLog& log);

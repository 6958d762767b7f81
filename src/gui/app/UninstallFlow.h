#pragma once
#include "run/UninstallSequence.h"

class CSetupContext;

// Removes the recorded installation in the uninstall window, which owns the
// messages of the stages and shows their log (and so does also, when given,
// a second log), and ends with the closing message. NothingRecorded when no
// installation is recorded (nothing is shown), NotRun when the window cannot
// be made.
UninstallResult RunUninstall(CSetupContext& context, IUninstallLog* alsoTo = nullptr);

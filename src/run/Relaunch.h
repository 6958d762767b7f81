#pragma once
#include <windows.h>

#include <string>

class CSetupContext;

// Whether the program is the installed copy of the setup: it lies in a
// "Setup" folder whose parent holds an installed copy of the application.
// Such a run must not stay in the folder it may remove.
bool IsInstalledSetupProgram(const std::string& programPath);

// Runs the program from a fresh file in the temporary folder, with the same
// arguments, and waits for it: exitCode is its exit code, which the caller
// ends with. The program is moved there, so that nothing of the installed
// copy stays in use in the folder the run removes (Windows lets a running
// program's file be renamed, not deleted); where it cannot be moved (the
// temporary folder lies on another drive) it is copied. The temporary file
// is queued for deletion at the next start of Windows. The copy alone may
// take the run guard this run holds (CHandOverPermit), which this run keeps
// until the copy ends, so that no other setup starts in between. When the
// run ends with the program's folder still there (the person left, or the
// removal kept items), the moved program goes back. False, after a message (20150
// or 20151), when the file cannot be made or started: nothing was removed.
bool RunFromTemporaryFolder(CSetupContext& context, const std::string& programPath, const std::string& arguments,
                            DWORD& exitCode);

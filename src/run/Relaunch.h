#pragma once
#include <windows.h>

#include <string>

class CSetupContext;

// Whether the program is the installed copy of the setup: it lies in a
// "Setup" folder whose parent holds an installed copy of the application.
// Such a run must not stay in the folder it may remove.
bool IsInstalledSetupProgram(const std::string& programPath);

// Runs the program from a fresh place in the temporary folder, with the same
// arguments, and waits for it: exitCode is its exit code, which the caller
// ends with. On the NT family that place is a new folder of a random name
// that only this user, SYSTEM and the Administrators may write in
// (HandOverFolder.h), so that no library someone else put there lies beside
// the copy; on Windows 9x a file of a random name. The program is moved there, so that nothing of the installed
// copy stays in use in the folder the run removes (Windows lets a running
// program's file be renamed, not deleted); where it cannot be moved (the
// temporary folder lies on another drive) it is copied. The temporary file,
// and after it its folder, are queued for deletion at the next start of
// Windows. The copy alone may
// take the run guard this run holds (CHandOverPermit), which this run keeps
// until the copy ends, so that no other setup starts in between. When the
// run ends with the program's folder still there (the person left, or the
// removal kept items), the moved program goes back. False, after a message (20150
// or 20151), when the file cannot be made or started: nothing was removed.
bool RunFromTemporaryFolder(CSetupContext& context, const std::string& programPath, const std::string& arguments,
                            DWORD& exitCode);

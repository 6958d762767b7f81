#pragma once
#include <windows.h>

class CSetupContext;
class CInstallLog;
class CRunParts;
class CRunGuard;
struct SetupOptions;

// On the NT family, creates (or opens) HKLM\Software\Secure\Corvane and
// closes it again; false when that is refused (no rights under
// HKEY_LOCAL_MACHINE). Windows 9x succeeds without it.
bool CreateSecureKey(const CSetupContext& context);

// Reads the setup's own, the Windows and the system folders into the
// context, each into a buffer of bufferLength characters. A query that fails
// or does not fit is shown (message 20100) and gives false: the run ends
// before anything is done.
constexpr DWORD FOLDER_BUFFER_LENGTH = 1024;
bool DetermineFolders(CSetupContext& context, DWORD bufferLength = FOLDER_BUFFER_LENGTH);

// Takes the guard that keeps a second setup from running at the same time.
// False when another run holds it (message 20160, exitCode 1618) or the
// system cannot tell (message 20161).
bool TakeRunGuard(CSetupContext& context, CRunGuard& guard, int& exitCode);

// Restarts Windows (with the shutdown privilege on the NT family); false,
// after message 20005, when the system refuses.
bool RestartWindows(CSetupContext& context);

// The start of every run, with or without windows: the folders; the guard
// that keeps a second setup from running at the same time (taken into guard,
// which the caller holds until the run's end; another run under way ends
// this one with message 20160 and exit code 1618); from the installed copy
// of the setup, the hand-over to a copy in the temporary folder (which does
// the run, and whose exit code ends this one); then the secure key. False
// when this run is over: exitCode tells how it ended.
bool PrepareRun(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log, CRunGuard& guard,
                int& exitCode);

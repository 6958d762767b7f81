#pragma once
#include <windows.h>

class CSetupContext;
class CInstallLog;
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

// Restarts Windows (with the shutdown privilege on the NT family); false,
// after message 20005, when the system refuses.
bool RestartWindows(CSetupContext& context);

// The start of every run, with or without windows: the folders; from the
// installed copy of the setup, the hand-over to a copy in the temporary
// folder (which does the run, and whose exit code ends this one); then the
// secure key. False when this run is over: exitCode tells how it ended.
bool PrepareRun(CSetupContext& context, const SetupOptions& options, CInstallLog& log, int& exitCode);

#pragma once
#include <string>

class CSetupContext;
class CInstallLog;
struct SetupOptions;

// The first lines of a run's log: the setup's build, the Windows version and
// the command line.
void LogStart(CInstallLog& log, const std::string& commandLine);

// The folder a log goes to when /S names none: "Lumiro Setup.log" in the
// temporary folder.
std::string DefaultLogPath();

// The start of every run, with or without windows: the folders; from the
// installed copy of the setup, the hand-over to a copy in the temporary
// folder (which does the run, and whose exit code ends this one); then the
// secure key. False when this run is over: exitCode tells how it ended.
bool PrepareRun(CSetupContext& context, const SetupOptions& options, CInstallLog& log, int& exitCode);

// A whole run without any window or question (/S): installation (or, with
// /UNINSTALL, removal) decided from the installed copy and the options, every
// message written to the log instead of shown, the replace question answered
// with its default button (Yes), no restart made. Returns the exit code:
//   0     done ("already installed" when this build is);
//   3010  done, a restart is needed;
//   1602  a replace question was answered Cancel (not by default);
//   1603  failed: the first failure's message is in the log;
//   1638  a newer build is installed: nothing is changed.
int RunUnattended(CSetupContext& context, const SetupOptions& options, CInstallLog& log);

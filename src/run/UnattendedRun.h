#pragma once

class CSetupContext;
class CInstallLog;
class CRunParts;
struct SetupOptions;

// A whole run without any window or question (/S): installation (or, with
// /UNINSTALL, removal) decided from the installed copy and the options, every
// message written to the log instead of shown, the replace question answered
// with its default button (Yes), no restart made. Returns the exit code:
//   0     done ("already installed" when this build is);
//   3010  done, a restart is needed;
//   1602  a replace question was answered Cancel (not by default);
//   1603  failed: the first failure's message is in the log;
//   1618  another setup is running: nothing is changed;
//   1638  a newer build is installed: nothing is changed.
int RunUnattended(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log);

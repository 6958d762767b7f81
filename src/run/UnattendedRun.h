#pragma once
#include <string>

class CSetupContext;
class CInstallLog;
class CRunParts;
class IInstallProgress;
class IUninstallLog;
struct SetupOptions;

// What an unattended run shows of itself with /PASSIVE: the progress of the
// installation or removal it makes, and how that ended; never a question.
// The application implements it with its windows; /S has none. Nothing is
// shown before the run knows it changes something (a hand-over to the
// temporary copy, "already installed" and a newer build show nothing).
class IRunDisplay
{
public:
    virtual ~IRunDisplay() = default;
    // The progress window, shown from now on; null when it cannot be made
    // (the run goes on unseen).
    virtual IInstallProgress* ShowInstallProgress() = 0;
    // The removal's window, shown from now on; null when it cannot be made.
    virtual IUninstallLog* ShowRemoval() = 0;
    // How the run ended, shown in the window for a moment; then the window
    // closes by itself.
    virtual void ShowEnd(const std::string& text) = 0;
};

// A whole run without any window or question (/S): installation (or, with
// /UNINSTALL, removal) decided from the installed copy and the options, every
// message written to the log instead of shown, the replace question answered
// with its default button (Yes), no restart made. With a display (/PASSIVE)
// the same run shows its progress and its end. Returns the exit code:
//   0     done ("already installed" when this build is);
//   3010  done, a restart is needed;
//   1602  a replace question was answered Cancel (not by default);
//   1603  failed: the first failure's message is in the log;
//   1618  another setup is running: nothing is changed;
//   1620  a package of the medium is damaged: nothing is changed;
//   1638  a newer build is installed: nothing is changed.
int RunUnattended(CSetupContext& context, CRunParts& parts, const SetupOptions& options, CInstallLog& log,
                 IRunDisplay* display = nullptr);

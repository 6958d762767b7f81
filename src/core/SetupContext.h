#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "core/InstallEvents.h"
#include "core/InstallProgress.h"
#include "core/UserPrompts.h"

class IBootReplacementQueue;
class IChangeJournal;
class IControlRegistrar;
class IFolderDaclWriter;

// The state of one run of the setup, handed by reference to every step: the
// platform, the folders the run works with, the memory of the replace
// question, whether a restart is needed, and the seams through which the
// steps ask, report and queue (prompts, progress, events, the boot-time
// replacement queue, the journal). A step never reaches for a window or a
// global; a test makes its own context with scratch folders and recorders.
// The context makes no object of the steps or the journal: it only holds
// the seams that the run's composition (src/run) wires in.
class CSetupContext
{
public:
    // The folder offered to a new installation.
    static constexpr char DEFAULT_INSTALL_PATH[] = "C:\\Lumiro";

    // The platform is asked of the system once, here.
    CSetupContext();
    ~CSetupContext();
    CSetupContext(const CSetupContext&) = delete;
    CSetupContext& operator=(const CSetupContext&) = delete;

    // The NT family, as opposed to Windows 9x.
    bool IsNT() const { return m_bNT; }

    // The installation folder, without a trailing backslash.
    std::string m_strInstallPath = DEFAULT_INSTALL_PATH;
    // The setup program's own folder, with its trailing backslash: the
    // packages lie there.
    std::string m_strSourceDir;
    // The system folder as the system names it (System32): the 64-bit one
    // on 64-bit Windows, for either build.
    std::string m_strSystemDir;
    std::string m_strWindowsDir;
    // The folder each entry of the runtime package goes into (by catalog
    // index; "" for an entry that is no file): the system folder of the
    // file's own machine type, learned before the run changes anything
    // (PlanPayload). Empty until then.
    std::vector<std::string> m_arrRuntimeFolders;
    bool m_bPayloadPlanned = false;

    // Set when the run upgrades an installed copy, with the build it
    // recorded (0 when it recorded none): what an undo leaves installed.
    bool m_bUpgrade = false;
    DWORD m_nInstalledBuild = 0;

    // Set when a replacement was queued for the next start of Windows.
    bool m_bRebootNeeded = false;
    // The bytes of the packages' files now in place (written, replaced,
    // kept or queued): the installation's size.
    ULONGLONG m_nBytesInstalled = 0;
    // The replace question's memory for the whole run: cleared by "Yes To
    // All"; set by "Cancel", which stops the installation.
    BOOL m_bAskReplace = TRUE;
    BOOL m_bReplaceCancelled = FALSE;

    // The seams. Each may be set to an object the caller owns (null restores
    // the default). Prompts default to answering every question with its
    // default button, progress and events to listening to nothing. The
    // others are made where a run is put together (CRunParts, src/run), never
    // here; until then they refuse, with ERROR_INVALID_FUNCTION, so that no
    // step changes anything that could not be undone.
    IUserPrompts& Prompts() const;
    void SetPrompts(IUserPrompts* prompts) { m_pPrompts = prompts; }
    IInstallProgress& Progress() const;
    void SetProgress(IInstallProgress* progress) { m_pProgress = progress; }
    IInstallEvents& Events() const;
    void SetEvents(IInstallEvents* events) { m_pEvents = events; }
    // What the run changed and how to undo it: every step notes its changes
    // here before it makes them.
    IChangeJournal& Journal() const;
    void SetJournal(IChangeJournal* journal) { m_pJournal = journal; }
    // The replacements of files in use at the next start of Windows.
    IBootReplacementQueue& BootQueue() const;
    void SetBootQueue(IBootReplacementQueue* queue) { m_pBootQueue = queue; }
    // Hands the folder-rights step's lists to the folders.
    IFolderDaclWriter& DaclWriter() const;
    void SetDaclWriter(IFolderDaclWriter* writer) { m_pDaclWriter = writer; }
    // Registers the OLE control, in a process of its kind.
    IControlRegistrar& Controls() const;
    void SetControls(IControlRegistrar* controls) { m_pControls = controls; }

    // Shows a message through the prompts; returns the button pressed.
    int ShowMessage(const std::string& text, UINT type);
    int ShowMessage(UINT stringId, UINT type);

private:
    bool m_bNT;
    IUserPrompts* m_pPrompts = nullptr;
    IInstallProgress* m_pProgress = nullptr;
    IInstallEvents* m_pEvents = nullptr;
    IChangeJournal* m_pJournal = nullptr;
    IBootReplacementQueue* m_pBootQueue = nullptr;
    IFolderDaclWriter* m_pDaclWriter = nullptr;
    IControlRegistrar* m_pControls = nullptr;
};

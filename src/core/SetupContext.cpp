#include "core/SetupContext.h"

#include "core/BootReplacementQueue.h"
#include "core/ChangeJournal.h"
#include "core/ControlRegistrar.h"
#include "core/DefaultAnswerPrompts.h"
#include "core/FolderDaclWriter.h"
#include "core/Platform.h"
#include "framework/ResourceStrings.h"

namespace
{
bool Refuse()
{
    ::SetLastError(ERROR_INVALID_FUNCTION);
    return false;
}

// The seams that a run's composition wires in, until it has: each refuses,
// so that nothing is changed that could not be undone.
class CNoJournal : public IChangeJournal
{
public:
    bool NoteTemporaryFile(const std::string&) override { return Refuse(); }
    bool NoteNewFile(const std::string&, const std::string&) override { return Refuse(); }
    bool CancelNewFile(const std::string&) override { return Refuse(); }
    bool SetAside(const std::string&, std::string*) override { return Refuse(); }
    bool PrepareToWrite(const std::string&) override { return Refuse(); }
    bool NoteFolderToMake(const std::string&) override { return Refuse(); }
    bool SaveRegistryKey(const std::string&) override { return Refuse(); }
    bool NoteBootReplacement(const std::string&, const std::string&) override { return Refuse(); }
    bool NoteControlRegistration(const std::string&) override { return Refuse(); }
    bool CancelControlRegistration(const std::string&) override { return Refuse(); }
    bool NoteCreate(const std::string&) override { return Refuse(); }
    bool NoteCreated(const std::string&) override { return Refuse(); }
    bool SaveContents(const std::string&, HANDLE, DWORD, const FILETIME&, const FILETIME&) override
    {
        return Refuse();
    }
    bool Sync() override { return Refuse(); }
    bool MadeFile(const std::string&) const override { return false; }
    bool Failed() const override { return true; }
    const std::string& Path() const override { return m_strPath; }

private:
    std::string m_strPath;
};

class CNoBootQueue : public IBootReplacementQueue
{
public:
    bool Queue(const std::string&, const std::string&) override { return Refuse(); }
    bool QueueDeletion(const std::string&) override { return Refuse(); }
    bool QueuesAtOnce() const override { return true; }
    bool HasPending() const override { return false; }
    bool Commit() override { return true; }
    void Discard() override {}
    bool Withdraw(const std::string&, const std::string&) override { return Refuse(); }
};

class CNoDaclWriter : public IFolderDaclWriter
{
public:
    DWORD SetFolderDacl(HANDLE, const std::string&, PACL) override { return ERROR_INVALID_FUNCTION; }
};

class CNoControls : public IControlRegistrar
{
public:
    ServerCallResult Register(const std::string&) override { return ServerCallResult::NotRun; }
    ServerCallResult Unregister(const std::string&) override { return ServerCallResult::NotRun; }
};

CDefaultAnswerPrompts g_defaultPrompts;
CNoProgress g_noProgress;
IInstallEvents g_noEvents;
CNoJournal g_noJournal;
CNoBootQueue g_noBootQueue;
CNoDaclWriter g_noDaclWriter;
CNoControls g_noControls;
} // namespace

CSetupContext::CSetupContext() : m_bNT(IsWindowsNT()) {}

CSetupContext::~CSetupContext() = default;

IUserPrompts& CSetupContext::Prompts() const { return m_pPrompts ? *m_pPrompts : g_defaultPrompts; }

IInstallProgress& CSetupContext::Progress() const { return m_pProgress ? *m_pProgress : g_noProgress; }

IInstallEvents& CSetupContext::Events() const { return m_pEvents ? *m_pEvents : g_noEvents; }

IChangeJournal& CSetupContext::Journal() const { return m_pJournal ? *m_pJournal : g_noJournal; }

IBootReplacementQueue& CSetupContext::BootQueue() const { return m_pBootQueue ? *m_pBootQueue : g_noBootQueue; }

IFolderDaclWriter& CSetupContext::DaclWriter() const { return m_pDaclWriter ? *m_pDaclWriter : g_noDaclWriter; }

IControlRegistrar& CSetupContext::Controls() const { return m_pControls ? *m_pControls : g_noControls; }

int CSetupContext::ShowMessage(const std::string& text, UINT type) { return Prompts().ShowMessageBox(text, type); }

int CSetupContext::ShowMessage(UINT stringId, UINT type) { return ShowMessage(LoadResString(stringId), type); }
